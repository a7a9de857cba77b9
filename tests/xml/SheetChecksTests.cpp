#include "xml/FormatNumber.h"
#include "xml/SheetChecks.h"
#include "xml/XmlService.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxslt/xsltInternals.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

std::optional<QString> problemOf(const QByteArray& sheet)
{
    XmlDocPtr doc(xmlReadMemory(sheet.constData(), int(sheet.size()), "sheet.xsl", nullptr,
                                XML_PARSE_DTDATTR | XML_PARSE_NOWARNING | XML_PARSE_NOERROR));
    EXPECT_TRUE(doc) << sheet.toStdString();
    return doc ? styleSheetProblem(doc.get()) : std::nullopt;
}

QByteArray inSheet(const char* body, const char* version = "1.0")
{
    return QByteArray("<xsl:stylesheet version=\"") + version +
           "\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" xmlns:p=\"urn:p\">\n" + body + "\n</xsl:stylesheet>";
}

} // namespace

TEST(SheetChecksTest, RefusesWhatTheOriginalServiceRefusesAndNothingElse)
{
    struct Case
    {
        const char* name;
        QByteArray sheet;
        const char* expected; // part of the description; nullptr when the sheet passes
    };
    const Case cases[] = {
        {"plain sheet", inSheet("<xsl:template match='/'><a b='{1}'/></xsl:template>"), nullptr},
        {"no version",
         "<xsl:stylesheet xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:template match='/'/></xsl:stylesheet>",
         "attribute version"},
        {"unknown instruction in 1.0", inSheet("<xsl:template match='/'><xsl:eval/></xsl:template>"),
         "element xsl:eval, line 2"},
        {"unknown instruction in a later version", inSheet("<xsl:template match='/'><xsl:eval/></xsl:template>", "2.0"),
         nullptr},
        {"unknown instruction under a later version's literal result element",
         inSheet("<xsl:template match='/'><a xsl:version='2.0'><b><xsl:eval/></b></a></xsl:template>"), nullptr},
        {"unknown instruction where a nested literal result element goes back to 1.0",
         inSheet("<xsl:template match='/'><a xsl:version='2.0'><b xsl:version='1.0'><xsl:eval/></b></a>"
                 "</xsl:template>"),
         "xsl:eval is not an XSLT 1.0 instruction"},
        {"unknown top-level element in 1.0", inSheet("<xsl:foo/>"), "xsl:foo is not an XSLT 1.0 instruction"},
        {"unknown attribute", inSheet("<xsl:key name='k' match='a' use='.' foo='bar'/>"), "attribute foo"},
        {"unknown attribute in a later version", inSheet("<xsl:key name='k' match='a' use='.' foo='bar'/>", "1.5"),
         nullptr},
        {"unknown value in a later version", inSheet("<xsl:output indent='sure'/>", "1.1"), nullptr},
        {"attributes of other namespaces", inSheet("<xsl:template match='/' p:x='1' xsl:y='2'/>"), nullptr},
        {"missing required attribute", inSheet("<xsl:template match='/'><xsl:processing-instruction/></xsl:template>"),
         "attribute name"},
        {"text in apply-templates",
         inSheet("<xsl:template match='/'><xsl:apply-templates>x</xsl:apply-templates></xsl:template>"),
         "may not contain text"},
        {"sort in apply-templates",
         inSheet(
             "<xsl:template match='/'><xsl:apply-templates> <xsl:sort/><!--c--></xsl:apply-templates></xsl:template>"),
         nullptr},
        {"content of value-of",
         inSheet("<xsl:template match='/'><xsl:value-of select='.'>x</xsl:value-of></xsl:template>"),
         "xsl:value-of may not contain text"},
        {"instruction in attribute-set",
         inSheet("<xsl:attribute-set name='s'><xsl:element name='e'/></xsl:attribute-set>"),
         "may not contain xsl:element"},
        {"unmatched closing brace", inSheet("<xsl:template match='/'><a href='x}'/></xsl:template>"), "'}' without"},
        {"unclosed brace", inSheet("<xsl:template match='/'><xsl:element name='{a'/></xsl:template>"), "'{' without"},
        {"braces in quotes and doubled", inSheet("<xsl:template match='/'><a b=\"{{x}} {'}'}\"/></xsl:template>"),
         nullptr},
        {"yes or no", inSheet("<xsl:template match='/'><xsl:text disable-output-escaping='true'/></xsl:template>"),
         "expected yes or no"},
        {"sort order",
         inSheet("<xsl:template match='/'><xsl:for-each select='*'><xsl:sort "
                 "order='backwards'/></xsl:for-each></xsl:template>"),
         "attribute order"},
        {"sort order as a template",
         inSheet(
             "<xsl:template match='/'><xsl:for-each select='*'><xsl:sort order='{.}'/></xsl:for-each></xsl:template>"),
         nullptr},
        {"sort data type",
         inSheet("<xsl:template match='/'><xsl:for-each select='*'><xsl:sort "
                 "data-type='foo'/></xsl:for-each></xsl:template>"),
         "attribute data-type"},
        {"sort data type of an extension",
         inSheet("<xsl:template match='/'><xsl:for-each select='*'><xsl:sort "
                 "data-type='p:foo'/></xsl:for-each></xsl:template>"),
         nullptr},
        {"unknown sort language",
         inSheet("<xsl:template match='/'><xsl:for-each select='*'><xsl:sort "
                 "lang='invalid'/></xsl:for-each></xsl:template>"),
         "attribute lang"},
        {"malformed sort language",
         inSheet("<xsl:template match='/'><xsl:for-each select='*'><xsl:sort "
                 "lang='en-ABCDEFGHIJ'/></xsl:for-each></xsl:template>"),
         "attribute lang"},
        {"known sort language",
         inSheet(
             "<xsl:template match='/'><xsl:for-each select='*'><xsl:sort lang='de-CH'/></xsl:for-each></xsl:template>"),
         nullptr},
        {"priority", inSheet("<xsl:template match='/' priority='1,0'/>"), "attribute priority"},
        {"negative fractional priority", inSheet("<xsl:template match='/' priority='-.5'/>"), nullptr},
        {"empty mode", inSheet("<xsl:template match='/' mode=''/>"), "attribute mode"},
        {"mode without match", inSheet("<xsl:template name='t' mode='m'/>"), "needs a match"},
        {"instruction name with a colon",
         inSheet("<xsl:template match='/'><xsl:processing-instruction name='a:b'/></xsl:template>"), "attribute name"},
        {"long grouping separator",
         inSheet("<xsl:template match='/'><xsl:number grouping-separator='ab'/></xsl:template>"), "one character"},
        {"select and content", inSheet("<xsl:variable name='v' select='1'>x</xsl:variable>"), "must be empty"},
        {"shadowed parameter",
         inSheet("<xsl:template name='t'><xsl:param name='x'/><xsl:if test='1'><xsl:variable "
                 "name='x'/></xsl:if></xsl:template>"),
         "already bound"},
        {"same name in separate scopes",
         inSheet("<xsl:template name='t'><xsl:if test='1'><xsl:variable name='x'/></xsl:if><xsl:variable "
                 "name='x'/></xsl:template><xsl:variable name='x'/>"),
         nullptr},
        {"decimal formats that differ",
         inSheet("<xsl:decimal-format name='d' digit='#'/><xsl:decimal-format name='d' digit='x'/>"), "declared twice"},
        {"same local name in two namespaces",
         inSheet("<xsl:decimal-format xmlns:a='urn:1' name='a:d' digit='#'/><xsl:decimal-format xmlns:a='urn:2' "
                 "name='a:d' digit='x'/>"),
         nullptr},
        {"decimal formats that agree",
         inSheet("<xsl:decimal-format name='d' digit='#'/><xsl:decimal-format name='d' digit='#'/>"), nullptr},
        {"unbound alias prefix", inSheet("<xsl:namespace-alias stylesheet-prefix='q' result-prefix='#default'/>"),
         "\"q\" is not declared"},
        {"unbound excluded prefix",
         "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
         "exclude-result-prefixes='#default q'/>",
         "\"q\" is not declared"},
        {"undeclared attribute set", inSheet("<xsl:attribute-set name='a' use-attribute-sets='b'/>"),
         "\"b\" is not declared"},
        {"attribute sets in a cycle",
         inSheet("<xsl:attribute-set name='a' use-attribute-sets='b'/><xsl:attribute-set name='b' "
                 "use-attribute-sets='a'/>"),
         "uses itself"},
        {"attribute sets of modules unseen",
         inSheet("<xsl:include href='m.xsl'/><xsl:attribute-set name='a' use-attribute-sets='b'/>"), nullptr},
        {"bad xml:space", inSheet("<xsl:template match='/' xml:space='preservedefault'/>"), "xml:space"},
        {"defaulted attribute from the DTD",
         "<!DOCTYPE xsl:stylesheet [<!ATTLIST xsl:template extra CDATA 'x'>]>" + inSheet("<xsl:template match='/'/>"),
         "attribute extra"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto problem = problemOf(c.sheet);
        if (!c.expected) {
            EXPECT_FALSE(problem) << problem->toStdString();
        } else {
            ASSERT_TRUE(problem);
            EXPECT_TRUE(problem->contains(QString::fromUtf8(c.expected))) << problem->toStdString();
        }
    }
}

TEST(SheetChecksTest, FormatPatternsTheOriginalServiceRefuses)
{
    struct Case
    {
        const char* name;
        const char* pattern;
        bool valid;
    };
    const Case cases[] = {
        {"empty", "", true},
        {"grouping and fraction", "#,##0.00", true},
        {"prefix, suffix and percent", "abc#0%", true},
        {"quoted digits in the prefix", "'#'#0'#'", true},
        {"two subpatterns", "#0;(#0)", true},
        {"empty positive subpattern", ";#", true},
        {"empty negative subpattern", "#0;", false},
        {"three subpatterns", "#;#;#", false},
        {"digit after zero", "0#.#", false},
        {"zero after digit in the fraction", "#.#0", false},
        {"two decimal separators", "#.#.#", false},
        {"grouping in the fraction", "#.#,#", false},
        {"no digit", "abc", false},
        {"digit after the suffix", "#0x#", false},
        {"currency sign", "\u00a4#,##0.00", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(!formatPatternProblem(QString::fromUtf8(c.pattern)).has_value(), c.valid);
    }
    DecimalSymbols european;
    european.decimalSeparator = u',';
    european.groupingSeparator = u'.';
    EXPECT_FALSE(formatPatternProblem(QStringLiteral("#.##0,00"), european));
    EXPECT_TRUE(formatPatternProblem(QStringLiteral("#,##0.00"), european));
    DecimalSymbols letters;
    letters.zeroDigit = u'a';
    EXPECT_FALSE(formatPatternProblem(QStringLiteral("0000"), letters));
    EXPECT_FALSE(formatPatternProblem(QStringLiteral("#aa"), letters));
}

// libxslt's own conversion is the oracle: the plain path must give its text for every number it
// formats, and must format the ordinary ones.
TEST(SheetChecksTest, PlainPatternsFormatAsLibxslt)
{
    const QByteArray sheet = inSheet("<xsl:template match='/'/>");
    XmlDocPtr doc(xmlReadMemory(sheet.constData(), int(sheet.size()), "sheet.xsl", nullptr, 0));
    ASSERT_TRUE(doc);
    xsltStylesheetPtr style = xsltParseStylesheetDoc(doc.get());
    ASSERT_TRUE(style);
    doc.release();
    const std::unique_ptr<xsltStylesheet, void (*)(xsltStylesheetPtr)> owner(style, xsltFreeStylesheet);

    std::vector<double> numbers = {
        0.0,   -0.0,    0.0005,       0.0015,        1.0005,
        2.5,   -2.5,    0.125,        99999999999.5, 999999999999.4,
        1e12,  -0.0004, 5001234.5675, 123456.789,    1e-300,
        0.995, 9.9995,  1e15 + 0.5,   std::nan(""),  std::numeric_limits<double>::infinity()};
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        const double magnitude = std::pow(10.0, std::uniform_int_distribution(-5, 13)(random));
        numbers.push_back(std::uniform_real_distribution(-1.0, 1.0)(random) * magnitude);
    }
    for (const char* pattern : {"0.000", "0", "00.0#", "#0.00##", "0.000000", "000.###", "##0.0"}) {
        SCOPED_TRACE(pattern);
        const auto plain = PlainNumberPattern::parse(pattern, style->decimalFormat);
        ASSERT_TRUE(plain);
        int formatted = 0;
        for (const double number : numbers) {
            PlainNumberPattern::Buffer buffer;
            const auto text = plain->format(number, buffer);
            if (!text)
                continue;
            ++formatted;
            QByteArray copy(pattern);
            xmlChar* expected = nullptr;
            xsltFormatNumberConversion(style->decimalFormat, BAD_CAST copy.data(), number, &expected);
            EXPECT_EQ(*text, reinterpret_cast<const char*>(expected)) << number;
            xmlFree(expected);
        }
        EXPECT_GT(formatted, int(numbers.size()) * 3 / 4);
    }
    for (const char* other : {"#,##0.00", "0.00%", "0.", "#.00", "x0.0", "0.0;-0.0", "0.#0"}) {
        SCOPED_TRACE(other);
        EXPECT_FALSE(PlainNumberPattern::parse(other, style->decimalFormat));
    }
}

TEST(SheetChecksTest, XsltAttributesCountOnlyOnLiteralResultElements)
{
    const QByteArray sheet = inSheet("<xsl:template match='/'><xsl:element name='e' xsl:use-attribute-sets='s'/>"
                                     "<e xsl:use-attribute-sets='s'/></xsl:template>");
    XmlDocPtr doc(xmlReadMemory(sheet.constData(), int(sheet.size()), "sheet.xsl", nullptr, 0));
    ASSERT_TRUE(doc);
    dropXsltAttributesOfInstructions(doc.get());
    xmlNode* instruction = xmlDocGetRootElement(doc.get())->children->next->children;
    ASSERT_TRUE(instruction);
    EXPECT_FALSE(instruction->properties->next);
    EXPECT_TRUE(instruction->next->properties);
}

TEST(SheetChecksTest, LaterVersionsAttributesAndValuesAreIgnored)
{
    const QByteArray sheet = inSheet("<xsl:output indent='sure' method='xml' foo='1' p:x='2'/>", "1.1");
    XmlDocPtr doc(xmlReadMemory(sheet.constData(), int(sheet.size()), "sheet.xsl", nullptr, 0));
    ASSERT_TRUE(doc);
    failUnknownInstructionsWithoutFallback(doc.get());
    const xmlNode* output = xmlDocGetRootElement(doc.get())->children->next;
    ASSERT_TRUE(output && output->properties);
    EXPECT_STREQ(reinterpret_cast<const char*>(output->properties->name), "method");
    EXPECT_STREQ(reinterpret_cast<const char*>(output->properties->next->name), "x");
    EXPECT_FALSE(output->properties->next->next);
}
