#include "xml/XmlService.h"

#include "platform/Failure.h"

#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

namespace {

class XmlServiceTest : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& content) { return env.writeFile(name, content); }

    // Transforms and returns what was written.
    QByteArray transform(const QByteArray& source, const QByteArray& sheet)
    {
        XmlDocument src;
        XmlDocument xsl;
        EXPECT_TRUE(src.load(write(QStringLiteral("in.xml"), source))) << src.parseError().reason.toStdString();
        EXPECT_TRUE(xsl.loadStyleSheet(write(QStringLiteral("sheet.xsl"), sheet)))
            << xsl.parseError().reason.toStdString();
        QFile out(env.root() + QStringLiteral("/out.txt"));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        transformNodeToObject(src, xsl, out.handle());
        out.close();
        out.open(QIODevice::ReadOnly);
        return out.readAll();
    }

    TestEnvironment env;
};

const QByteArray CopySheet = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="xml" omit-xml-declaration="yes"/>
<xsl:template match="/"><xsl:copy-of select="/*"/></xsl:template>
</xsl:stylesheet>)~";

} // namespace

TEST_F(XmlServiceTest, DropsWhitespaceOnlyTextUnlessPreserved)
{
    struct Case
    {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"<a>\n  <b>x</b>\n  <c/>\n</a>", "<a><b>x</b><c/></a>"},
        {"<a>  </a>", "<a/>"},
        {"<a> x <b/> </a>", "<a> x <b/></a>"},
        {"<a xml:space=\"preserve\"> <b> </b> <c xml:space=\"default\"> </c></a>",
         "<a xml:space=\"preserve\"> <b> </b> <c xml:space=\"default\"/></a>"},
        // CDATA joins the text around it and is never dropped, even when blank.
        {"<a>  <![CDATA[ ]]>  </a>", "<a>     </a>"},
        {"<a> <![CDATA[x]]> <b/>\n</a>", "<a> x <b/></a>"},
        {"<a>\n <!-- c -->\n <?pi d?>\n</a>", "<a><!-- c --><?pi d?></a>"},
        {"<a>&#32;<b/>x&#32;y</a>", "<a><b/>x y</a>"},
        // Documents with entity declarations take the slower road through the finished tree.
        {"<!DOCTYPE a [<!ENTITY e \"<b> </b>\"><!ENTITY s \" \">]>\n<a>\n &e; &s; <c>&s;z</c></a>",
         "<a><b/><c> z</c></a>"},
        {"<!DOCTYPE a [<!ENTITY s \" \">]><a xml:space=\"preserve\"> &s; <![CDATA[]]></a>",
         "<a xml:space=\"preserve\">   </a>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(transform(c.source, CopySheet), QByteArray(c.expected) + "\n") << c.source;
}

TEST_F(XmlServiceTest, ReportsLoadFailuresWithCodeAndReason)
{
    XmlDocument doc;
    EXPECT_FALSE(doc.load(env.root() + QStringLiteral("/missing.xml")));
    EXPECT_NE(doc.parseError().errorCode, 0);
    EXPECT_FALSE(doc.parseError().reason.isEmpty());

    EXPECT_FALSE(doc.load(write(QStringLiteral("bad.xml"), "<a><b></a>")));
    EXPECT_EQ(doc.parseError().errorCode, 76); // tag name mismatch
    EXPECT_TRUE(doc.parseError().reason.contains(QStringLiteral("mismatch"))) << doc.parseError().reason.toStdString();

    EXPECT_FALSE(doc.load(write(QStringLiteral("empty.xml"), "")));
    EXPECT_FALSE(doc.load(QStringLiteral("   ")));
    EXPECT_FALSE(doc.load(env.root()));
}

TEST_F(XmlServiceTest, NeverLoadsExternalEntitiesOrDtds)
{
    const QString secret = write(QStringLiteral("secret.txt"), "TOPSECRET");
    const QByteArray source = "<!DOCTYPE a SYSTEM \"http://192.0.2.1/x.dtd\" [<!ENTITY f SYSTEM \"file://" +
                              secret.toUtf8() + "\"><!ENTITY n SYSTEM \"http://192.0.2.1/n\">]><a>&f;&n;</a>";
    XmlDocument doc;
    if (doc.load(write(QStringLiteral("ext.xml"), source))) {
        QFile out(env.root() + QStringLiteral("/o"));
        ASSERT_TRUE(out.open(QIODevice::ReadWrite));
        XmlDocument sheet;
        ASSERT_TRUE(sheet.loadStyleSheet(write(QStringLiteral("s.xsl"), CopySheet)));
        transformNodeToObject(doc, sheet, out.handle());
        out.seek(0);
        EXPECT_FALSE(out.readAll().contains("TOPSECRET"));
    }
}

TEST_F(XmlServiceTest, AReferenceToAnEntityTheDocumentDoesNotDeclareStopsTheLoad)
{
    // The external DTD exists and declares the entity, but is never read.
    write(QStringLiteral("degrees.dtd"), "<!ENTITY deg \"&#176;\">");
    struct Case
    {
        const char* name;
        QByteArray source;
        bool styleSheet;
        int line;
    };
    const Case cases[] = {
        {"in text", "<!DOCTYPE r SYSTEM \"degrees.dtd\">\n<r>45&deg;30'</r>", false, 2},
        {"in an attribute", "<!DOCTYPE r SYSTEM \"degrees.dtd\">\n<r\n a=\"45&deg;\"/>", false, 3},
        {"inside a declared entity",
         "<!DOCTYPE r SYSTEM \"degrees.dtd\" [<!ENTITY angle \"45&deg;\">]>\n<r>\n&angle;</r>", false, 3},
        {"without a DTD", "<r>\n\n45&deg;</r>", false, 3},
        {"in a style sheet", "<!DOCTYPE r SYSTEM \"degrees.dtd\">\n<r>45&deg;</r>", true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmlDocument doc;
        const QString path = write(QStringLiteral("angle.xml"), c.source);
        EXPECT_FALSE(c.styleSheet ? doc.loadStyleSheet(path) : doc.load(path));
        const QString reason = doc.parseError().reason;
        EXPECT_TRUE(reason.contains(QStringLiteral("\"deg\"")) && reason.contains(QStringLiteral("External DTDs")) &&
                    reason.contains(QStringLiteral("line %1)").arg(c.line)))
            << reason.toStdString();
    }
}

TEST_F(XmlServiceTest, RejectsEntityBombs)
{
    QByteArray bomb = "<!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        bomb += QStringLiteral("<!ENTITY lol%1 \"").arg(i).toUtf8();
        for (int j = 0; j < 10; ++j)
            bomb += i == 1 ? "&lol;" : QStringLiteral("&lol%1;").arg(i - 1).toUtf8();
        bomb += "\">";
    }
    bomb += "]><lolz>&lol9;</lolz>";
    XmlDocument doc;
    EXPECT_FALSE(doc.load(write(QStringLiteral("bomb.xml"), bomb)));
    EXPECT_FALSE(doc.parseError().reason.isEmpty());
}

TEST_F(XmlServiceTest, FindsElementsByQualifiedNameAsWritten)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.load(write(
        QStringLiteral("s.xsl"),
        R"~(<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:x="http://www.w3.org/1999/XSL/Transform">
  <xsl:variable name="a" select="'1'"/>
  <xsl:template match="/"><xsl:variable name="b"/><x:variable name="c"/></xsl:template>
  <variable name="d" title="&#xFEFF;leading mark"/>
</xsl:stylesheet>)~")));
    const auto vars = doc.getElementsByTagName(QStringLiteral("xsl:variable"));
    ASSERT_EQ(vars.size(), 2u);
    EXPECT_EQ(vars[0].getAttribute(QStringLiteral("name")), QStringLiteral("a"));
    EXPECT_EQ(vars[1].getAttribute(QStringLiteral("name")), QStringLiteral("b"));
    EXPECT_EQ(vars[1].getAttribute(QStringLiteral("select")), std::nullopt);
    EXPECT_EQ(vars[0].nodeName(), QStringLiteral("xsl:variable"));
    const auto plain = doc.getElementsByTagName(QStringLiteral("variable"));
    ASSERT_EQ(plain.size(), 1u);
    // A value's own leading U+FEFF is text, not a byte order mark.
    EXPECT_EQ(plain[0].getAttribute(QStringLiteral("title")), QChar(0xFEFF) + QStringLiteral("leading mark"));

    XmlNode a = vars[0];
    a.setAttribute(QStringLiteral("select"), QStringLiteral("'x & \"y\" <z>'"));
    EXPECT_EQ(a.getAttribute(QStringLiteral("select")), QStringLiteral("'x & \"y\" <z>'"));
    const auto root = doc.documentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->childNodes().size(), 3u);
}

TEST_F(XmlServiceTest, AppliesTheStyleSheetAsChangedInMemory)
{
    XmlDocument src;
    ASSERT_TRUE(src.load(write(QStringLiteral("in.xml"), "<r><p>1</p><p>2</p></r>")));
    XmlDocument xsl;
    ASSERT_TRUE(xsl.loadStyleSheet(write(
        QStringLiteral("s.xsl"), R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:variable name="sep" select="','"/>
<xsl:template match="/"><xsl:for-each select="r/p"><xsl:value-of select="."/><xsl:value-of select="$sep"/></xsl:for-each><xsl:text> </xsl:text></xsl:template>
</xsl:stylesheet>)~")));
    xsl.getElementsByTagName(QStringLiteral("xsl:variable"))[0].setAttribute(QStringLiteral("select"),
                                                                             QStringLiteral("';'"));
    QFile out(env.root() + QStringLiteral("/o"));
    ASSERT_TRUE(out.open(QIODevice::ReadWrite));
    transformNodeToObject(src, xsl, out.handle());
    out.seek(0);
    EXPECT_EQ(out.readAll(), QByteArray("1;2; "));
    // The caller's document is untouched by compiling it.
    EXPECT_EQ(xsl.getElementsByTagName(QStringLiteral("xsl:variable"))[0].getAttribute(QStringLiteral("select")),
              QStringLiteral("';'"));
}

TEST_F(XmlServiceTest, SerialisesAsOutputAsks)
{
    const QByteArray sheet = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="xml" encoding="ISO-8859-1" indent="no"/>
<xsl:template match="/"><out>&#233;</out></xsl:template>
</xsl:stylesheet>)~";
    const QByteArray result = transform("<r/>", sheet);
    EXPECT_TRUE(result.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")) << result.toStdString();
    EXPECT_TRUE(result.contains("<out>\xE9</out>"));
}

TEST_F(XmlServiceTest, ProvidesNodeSetFunctionsAndExslt)
{
    const QByteArray sheet = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:exsl="http://exslt.org/common" xmlns:math="http://exslt.org/math">
<xsl:output method="text"/>
<xsl:template match="/"><xsl:variable name="t"><v>3</v><v>1</v></xsl:variable>
<xsl:value-of select="count(msxsl:node-set($t)/v)"/>,<xsl:value-of select="count(exsl:node-set($t)/v)"/>,<xsl:value-of select="math:max(msxsl:node-set($t)/v)"/>
</xsl:template></xsl:stylesheet>)~";
    EXPECT_EQ(transform("<r/>", sheet), QByteArray("2,2,3"));
}

TEST_F(XmlServiceTest, DocumentFunctionReadsLocalFilesWithTheSameWhitespaceRule)
{
    write(QStringLiteral("other.xml"), "<o>\n  <v>7</v>\n</o>");
    const QByteArray sheet = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:template match="/"><xsl:value-of select="count(document('other.xml')/o/node())"/>:<xsl:value-of select="document('other.xml')/o/v"/></xsl:template>
</xsl:stylesheet>)~";
    EXPECT_EQ(transform("<r/>", sheet), QByteArray("1:7"));

    // Plain paths, as file-name answers are, work even where they are not valid URIs.
    const QString spaced = write(QStringLiteral("my jobs/100% done.xml"), "<o><v>8</v></o>");
    const QByteArray byPath = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:variable name="f" select="')~" +
                              spaced.toUtf8() + R"~('"/>
<xsl:template match="/"><xsl:value-of select="document($f)/o/v"/>:<xsl:value-of select="document($f, /)/o/v"/></xsl:template>
</xsl:stylesheet>)~";
    EXPECT_EQ(transform("<r/>", byPath), QByteArray("8:8"));
}

TEST_F(XmlServiceTest, RefusesWritingFilesAndNetworkAccess)
{
    const QString target = env.root() + QStringLiteral("/written.txt");
    const QByteArray writer =
        R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
<xsl:template match="/"><exsl:document href=")~" +
        target.toUtf8() + R"~(" method="text">x</exsl:document></xsl:template>
</xsl:stylesheet>)~";
    EXPECT_THROW(transform("<r/>", writer), UnexpectedFailure);
    EXPECT_FALSE(QFile::exists(target));

    const QByteArray network = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:template match="/"><xsl:value-of select="count(document('http://192.0.2.1/x.xml'))"/></xsl:template>
</xsl:stylesheet>)~";
    try {
        const QByteArray result = transform("<r/>", network);
        EXPECT_EQ(result, QByteArray("0"));
    } catch (const UnexpectedFailure&) {
    }
}

TEST_F(XmlServiceTest, RuntimeErrorsAndRunawayRecursionFailWithADescription)
{
    const QByteArray unknownFunction =
        R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:value-of select="nosuch()"/></xsl:template></xsl:stylesheet>)~";
    const QByteArray recursion = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:call-template name="r"/></xsl:template>
<xsl:template name="r"><xsl:call-template name="r"/></xsl:template></xsl:stylesheet>)~";
    const QByteArray terminate = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:message terminate="yes">stop here</xsl:message></xsl:template></xsl:stylesheet>)~";
    for (const QByteArray& sheet : {unknownFunction, recursion, terminate}) {
        try {
            transform("<r/>", sheet);
            ADD_FAILURE() << "no failure for " << sheet.toStdString();
        } catch (const UnexpectedFailure& failure) {
            EXPECT_FALSE(failure.description().isEmpty());
        }
    }
}

TEST_F(XmlServiceTest, InstructionsAndFunctionsActAsInTheOriginalService)
{
    struct Case
    {
        const char* name;
        const char* version;
        const char* body;
        const char* expected; // the output, or nullptr when the run fails
    };
    const Case cases[] = {
        {"later instruction without fallback", "2.0", "<xsl:new/>", nullptr},
        {"later instruction with fallback", "2.0", "<xsl:new><xsl:fallback>f</xsl:fallback></xsl:new>", "f"},
        {"malformed format pattern", "1.0", "<xsl:value-of select=\"format-number(1, '#.#.#')\"/>", nullptr},
        {"empty format pattern", "1.0", "<xsl:value-of select=\"format-number(1, '')\"/>", "1"},
        {"pattern of a named decimal format", "1.0",
         "<xsl:value-of select=\"format-number(1234.5, '#.##0,0', 'eu')\"/>", "1.234,5"},
        {"xsl:version as a number", "1.0", "<xsl:value-of select=\"system-property('xsl:version')\"/>", "1"},
        {"CDATA written unescaped", "1.0", "<xsl:text disable-output-escaping='yes'><![CDATA[&lt;]]></xsl:text>",
         "&lt;"},
        {"blank CDATA between text", "1.0", "<r>1<![CDATA[  ]]>2</r>", "<r>1  2</r>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet = QByteArray("<xsl:stylesheet version=\"") + c.version +
                                 "\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                 "<xsl:output omit-xml-declaration=\"yes\"/>"
                                 "<xsl:decimal-format name=\"eu\" decimal-separator=\",\" grouping-separator=\".\"/>"
                                 "<xsl:template match=\"/\">" +
                                 c.body + "</xsl:template></xsl:stylesheet>";
        try {
            const QByteArray output = transform("<r/>", sheet).trimmed();
            EXPECT_TRUE(c.expected) << "no failure, wrote " << output.toStdString();
            if (c.expected) {
                EXPECT_EQ(output, c.expected);
            }
        } catch (const UnexpectedFailure& failure) {
            EXPECT_FALSE(c.expected) << failure.description().toStdString();
        }
    }
}

// libxslt's own format-number is the oracle for every kind of argument the service reads itself.
TEST_F(XmlServiceTest, FormatNumberReadsItsArgumentsAsLibxslt)
{
    const QByteArray source = "<r a=' 3.25'><n>5001234.5675</n><neg>-0.0004</neg><blank> 12.5 </blank>"
                              "<mixed>1<b>2</b>3</mixed><empty/><two>1.5</two><two>2.5</two>"
                              "<commented><!--c-->4.5</commented><bad>1,5</bad><big>1e3</big></r>";
    QByteArray body;
    for (const char* argument : {"n", "neg", "blank", "mixed", "empty", "two", "@a", "commented", "n/text()", "bad",
                                 "big", "'7.25'", "1 div 0", "-1 div 0", "n + 1", "none", "*"}) {
        for (const char* pattern : {"0.000", "#0.0#", "000"})
            body += QByteArray("<xsl:value-of select=\"format-number(") + argument + ", '" + pattern +
                    "')\"/><xsl:text>|</xsl:text>";
        body += "<xsl:text>&#10;</xsl:text>";
    }
    const QByteArray sheet = "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                             "<xsl:output method=\"text\"/><xsl:template match=\"/r\">" +
                             body + "</xsl:template></xsl:stylesheet>";

    XmlDocPtr plainSource(xmlReadMemory(source.constData(), int(source.size()), "in.xml", nullptr, 0));
    XmlDocPtr plainSheet(xmlReadMemory(sheet.constData(), int(sheet.size()), "sheet.xsl", nullptr, 0));
    ASSERT_TRUE(plainSource && plainSheet);
    const std::unique_ptr<xsltStylesheet, void (*)(xsltStylesheetPtr)> style(
        xsltParseStylesheetDoc(plainSheet.release()), xsltFreeStylesheet);
    ASSERT_TRUE(style);
    XmlDocPtr result(xsltApplyStylesheet(style.get(), plainSource.get(), nullptr));
    ASSERT_TRUE(result);
    xmlChar* text = nullptr;
    int length = 0;
    xsltSaveResultToString(&text, &length, result.get(), style.get());
    const QByteArray expected(reinterpret_cast<const char*>(text), length);
    xmlFree(text);

    EXPECT_EQ(transform(source, sheet).toStdString(), expected.toStdString());
}

TEST_F(XmlServiceTest, SortsNodesByEveryKeyOfXslSort)
{
    struct Case
    {
        const char* name;
        const char* sorts;
        const char* expected;
    };
    const Case cases[] = {
        {"text, lower case first", "<xsl:sort select='@t'/>", "b1,b3,B2,x,C"},
        {"text, upper case first", "<xsl:sort select='@t' case-order='upper-first'/>", "B2,b1,b3,C,x"},
        {"numbers, not-a-number first", "<xsl:sort select='@n' data-type='number'/>", "x,C,b3,B2,b1"},
        {"descending from a template", "<xsl:sort select='@n' data-type='number' order='{/r/@o}'/>", "b1,B2,b3,C,x"},
        {"second key breaks ties",
         "<xsl:sort select='translate(@t, \"B\", \"b\")'/><xsl:sort select='@n' data-type='number'/>", "b3,B2,b1,x,C"},
    };
    const QByteArray source = "<r o='descending'><e t='b' n='30' id='b1'/><e t='B' n='20' id='B2'/><e t='b' n='10' "
                              "id='b3'/><e t='c' n='x' id='x'/><e t='C' n='-1' id='C'/></r>";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet = QByteArray("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/"
                                            "Transform'><xsl:output method='text'/><xsl:template match='/'>"
                                            "<xsl:for-each select='r/e'>") +
                                 c.sorts +
                                 "<xsl:value-of select='@id'/><xsl:if test='position() != last()'>,</xsl:if>"
                                 "</xsl:for-each></xsl:template></xsl:stylesheet>";
        EXPECT_EQ(transform(source, sheet), c.expected);
    }
}

TEST_F(XmlServiceTest, WritesCommentsAsTheOriginalServiceDoes)
{
    struct Case
    {
        const char* name;
        const char* sheet;
        const char* expected;
    };
    const Case cases[] = {
        {"double hyphens spaced", "<xsl:template match='/'><r><xsl:comment>a--b---</xsl:comment></r></xsl:template>",
         "<r><!--a- -b- - - --></r>"},
        {"empty comment kept", "<xsl:template match='/'><r><xsl:comment/></r></xsl:template>", "<r><!----></r>"},
        {"content evaluated",
         "<xsl:template match='/'><r><xsl:comment><xsl:value-of select='1+1'/>-</xsl:comment></r></xsl:template>",
         "<r><!--2- --></r>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet =
            QByteArray("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                       "<xsl:output omit-xml-declaration='yes'/>") +
            c.sheet + "</xsl:stylesheet>";
        EXPECT_EQ(transform("<r/>", sheet).trimmed(), c.expected);
    }
    // A sheet that is its own template writes no declaration of the instruction's namespace.
    EXPECT_EQ(transform("<r/>", "<r xsl:version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                "<xsl:comment>x</xsl:comment></r>")
                  .trimmed(),
              "<?xml version=\"1.0\"?>\n<r><!--x--></r>");
}

TEST_F(XmlServiceTest, WritesHtmlAsTheOriginalServiceDoes)
{
    struct Case
    {
        const char* name;
        const char* output;
        const char* body;
        const char* expected; // part of what is written
    };
    const Case cases[] = {
        {"content of an empty element follows it", "", "<p><br>x<b>y</b></br></p>", "<p><br>x<b>y</b></p>"},
        {"URI attributes escaped", "", "<object classid='http://\u65e5' data='a b'/>",
         "<object classid=\"http://%E6%97%A5\" data=\"a b\">"},
        {"other attributes kept", "", "<p title='\u65e5'/>", "<p title=\"\u65e5\">"},
        {"meta with the default encoding", "", "<html><head><title>t</title></head></html>",
         "<head><META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"><title>"},
        {"meta with media type and encoding", " media-type='text/xhtml' encoding='ISO-8859-1'", "<html><head/></html>",
         "content=\"text/xhtml; charset=ISO-8859-1\""},
        {"the sheet's own meta kept", "",
         "<html><head><meta http-equiv='content-type' content='text/html; charset=utf-8'/></head></html>",
         "<head><meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"></head>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet = QByteArray("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/"
                                            "Transform'><xsl:output method='html' indent='no'") +
                                 c.output + "/><xsl:template match='/'>" + c.body + "</xsl:template></xsl:stylesheet>";
        const QByteArray output = transform("<r/>", sheet);
        EXPECT_TRUE(output.contains(c.expected)) << output.toStdString();
    }
}

TEST_F(XmlServiceTest, NumbersAreWrittenAsTheOriginalServiceDoes)
{
    struct Case
    {
        const char* name;
        const char* format;
        const char* value;
        const char* expected; // nullptr when the run fails
    };
    const Case cases[] = {
        {"a count", "(1) ", "3", "(3) "},
        {"rounded", "(1) ", "2.5", "(3) "},
        {"not a number", "(1) ", "'1ab'", "1ab"},
        {"empty node-set", "(1) ", "/nothing", ""},
        {"rounds to zero", "(1) ", "0.42", "0.42"},
        {"negative", "(1) ", "-1", nullptr},
        {"roman and letters", "i.A", "28", "xxviii"},
        {"letters without a numbering", "\uff71 -", "3", "3 -"},
        {"other digits", "\u0661", "3", "\u0663"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet = QByteArray("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/"
                                            "Transform'><xsl:output method='text'/><xsl:template match='/'>"
                                            "<xsl:number format='") +
                                 c.format + "' value=\"" + c.value + "\"/></xsl:template></xsl:stylesheet>";
        try {
            const QByteArray output = transform("<r/>", sheet);
            ASSERT_TRUE(c.expected) << "no failure, wrote " << output.toStdString();
            EXPECT_EQ(output, c.expected);
        } catch (const UnexpectedFailure& failure) {
            EXPECT_FALSE(c.expected) << failure.description().toStdString();
        }
    }
}

TEST_F(XmlServiceTest, AStandaloneResultHasOneRoot)
{
    struct Case
    {
        const char* name;
        const char* standalone;
        const char* body;
        bool written;
    };
    const Case cases[] = {
        {"one root", "yes", "<a/>", true},
        {"two roots", "yes", "<a/><b/>", false},
        {"two roots, not standalone", "no", "<a/><b/>", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet = QByteArray("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/"
                                            "Transform'><xsl:output standalone='") +
                                 c.standalone + "'/><xsl:template match='/'>" + c.body +
                                 "</xsl:template></xsl:stylesheet>";
        bool written = true;
        try {
            transform("<r/>", sheet);
        } catch (const UnexpectedFailure&) {
            written = false;
        }
        EXPECT_EQ(written, c.written);
    }
}

TEST_F(XmlServiceTest, CopiedElementsKeepTheNamespacesInScope)
{
    const QByteArray sheet = "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                             "<xsl:output omit-xml-declaration='yes'/>"
                             "<xsl:template match='/'><xsl:for-each select='//b'><xsl:copy>"
                             "<xsl:attribute name='n'>1</xsl:attribute></xsl:copy></xsl:for-each>"
                             "</xsl:template></xsl:stylesheet>";
    EXPECT_EQ(transform("<a xmlns:p='urn:p'><b/></a>", sheet).trimmed(), "<b xmlns:p=\"urn:p\" n=\"1\"/>");
    EXPECT_EQ(transform("<a>text</a>", QByteArray(sheet).replace("//b", "//text()")).trimmed(), "text");
}
