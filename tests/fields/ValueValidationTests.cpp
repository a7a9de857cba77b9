#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "fields/ValueValidation.h"
#include "text/StringTable.h"
#include "text/TextIds.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// Evaluates an XPath 1.0 expression the way the transformation will see a select attribute.
class XPathEvaluator
{
public:
    XPathEvaluator()
        : m_doc(xmlNewDoc(BAD_CAST "1.0"))
        , m_context(xmlXPathNewContext(m_doc.get()))
    {}

    std::optional<QString> string(const QString& expression) const
    {
        return evaluate(QStringLiteral("string(%1)").arg(expression), [](xmlXPathObject* result) {
            return QString::fromUtf8(reinterpret_cast<const char*>(result->stringval));
        });
    }

    std::optional<double> number(const QString& expression) const
    {
        return evaluate(expression, [](xmlXPathObject* result) { return result->floatval; });
    }

    // True when the expression is a number expression, so a typed value stays a number.
    bool isNumberExpression(const QString& expression) const
    {
        const QByteArray utf8 = expression.toUtf8();
        const std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
            xmlXPathEvalExpression(BAD_CAST utf8.constData(), m_context.get()), &xmlXPathFreeObject);
        return result && result->type == XPATH_NUMBER;
    }

private:
    template <typename F>
    auto evaluate(const QString& expression, F read) const -> std::optional<decltype(read(nullptr))>
    {
        const QByteArray utf8 = expression.toUtf8();
        const std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
            xmlXPathEvalExpression(BAD_CAST utf8.constData(), m_context.get()), &xmlXPathFreeObject);
        if (!result)
            return std::nullopt;
        return read(result.get());
    }

    struct DocFree
    {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };
    struct ContextFree
    {
        void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
    };
    std::unique_ptr<xmlDoc, DocFree> m_doc;
    std::unique_ptr<xmlXPathContext, ContextFree> m_context;
};

} // namespace

TEST(ValueValidation, ParseDotNumberAcceptsOnlyAPlainNumber)
{
    const LocaleGuard locale(commaLocale());
    const std::vector<std::pair<QString, std::optional<double>>> cases = {
        {"2.5", 2.5},          {"-3", -3.0},           {"+4.25", 4.25},         {".5", 0.5},
        {"5.", 5.0},           {"1e3", 1000.0},        {"1.5E-2", 0.015},       {"", std::nullopt},
        {"2,5", std::nullopt}, {" 2.5", std::nullopt}, {"2.5 ", std::nullopt},  {"abc", std::nullopt},
        {"inf", std::nullopt}, {"nan", std::nullopt},  {"1e400", std::nullopt}, {"-", std::nullopt},
        {".", std::nullopt},   {"1e", std::nullopt},   {"--1", std::nullopt},   {QString::fromUtf8("١٢"), std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseDotNumber(text), expected) << text.toStdString();
}

TEST(ValueValidation, FormatDotNumberWritesXPathNumbers)
{
    const XPathEvaluator xpath;
    const LocaleGuard locale(commaLocale());
    const std::vector<std::pair<double, QString>> cases = {
        {2.5, "2.5"},
        {-2.75, "-2.75"},
        {100, "100"},
        {0, "0"},
        {-0.0, "0"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {1e20, "100000000000000000000"},
        {1e-7, "0.0000001"},
        {-1.5e-10, "-0.00000000015"},
        {123456789012345678.0, "123456789012346000"},
        {999999999999999.9, "1000000000000000"},
    };
    for (const auto& [number, expected] : cases) {
        const QString written = FormatDotNumber(number);
        EXPECT_EQ(written, expected) << number;
        EXPECT_TRUE(xpath.isNumberExpression(written)) << written.toStdString();
        EXPECT_EQ(xpath.number(written), ParseDotNumber(written)) << written.toStdString();
    }
    EXPECT_TRUE(std::isinf(*xpath.number(FormatDotNumber(HUGE_VAL))));
    EXPECT_TRUE(std::isnan(*xpath.number(FormatDotNumber(NAN))));
}

TEST(ValueValidation, LimitsAreReadWithAPointAndOnlyLeadingBlanks)
{
    const LocaleGuard locale(commaLocale());
    const std::vector<std::pair<QString, double>> cases = {
        {"0", 0},      {"100", 100},     {" 5", 5},        {"-1.5", -1.5},     {"5 ", NoLimit},
        {"", NoLimit}, {"abc", NoLimit}, {"1,5", NoLimit}, {"1e999", NoLimit}, {"+2.5", 2.5},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ReadLimit(text), expected) << text.toStdString();
}

TEST(ValueValidation, DefaultsOfDecimalFieldsKeepTheirDecimalsInTheUsersLocale)
{
    struct Case
    {
        QLocale locale;
        QString select;
        UserFieldKind kind;
        QString shown;
    };
    const std::vector<Case> cases = {
        {englishLocale(), "2.50", UserFieldKind::DOUBLE, "2.50"},
        {englishLocale(), "25", UserFieldKind::DOUBLE, "25.00"},
        {englishLocale(), "1234.5", UserFieldKind::DOUBLE, "1234.5"},
        {englishLocale(), "-0.0001", UserFieldKind::DOUBLE, "-0.0001"},
        {englishLocale(), "3.14159265358979", UserFieldKind::DOUBLE, "3.14159265358979"},
        {englishLocale(), "5000002.1234567", UserFieldKind::DOUBLE, "5000002.1234567"},
        {englishLocale(), "1234567890123.5", UserFieldKind::DOUBLE, "1234567890123.5"},
        {englishLocale(), "0.99999999999999", UserFieldKind::DOUBLE, "0.99999999999999"},
        {englishLocale(), "0.9999999999999999", UserFieldKind::DOUBLE, "1.0000000000000000"},
        {englishLocale(), "123456789012345678", UserFieldKind::DOUBLE, "123456789012346000.000000000000000000"},
        {commaLocale(), "2.5", UserFieldKind::DOUBLE, "2,5"},
        {commaLocale(), "-12.125", UserFieldKind::DOUBLE, "-12,125"},
        {englishLocale(), "$tolerance * 2", UserFieldKind::DOUBLE, "$tolerance * 2"},
        {englishLocale(), "", UserFieldKind::DOUBLE, ""},
        {englishLocale(), "2,5", UserFieldKind::DOUBLE, "2,5"},
        {englishLocale(), "007", UserFieldKind::INTEGER, "007"},
        {englishLocale(), "2.50", UserFieldKind::STRING, "2.50"},
    };
    for (const Case& c : cases) {
        const LocaleGuard locale(c.locale);
        EXPECT_EQ(FormatFieldDefault(c.select, c.kind), c.shown) << c.select.toStdString();
    }
}

TEST(ValueValidation, DecimalAnswersAreCheckedInTheUsersLocale)
{
    struct Case
    {
        QLocale locale;
        QString text;
        double lower;
        double upper;
        int message; // 0: accepted
    };
    const std::vector<Case> cases = {
        {englishLocale(), "0", 0, 100, 0},
        {englishLocale(), "100", 0, 100, 0},
        {englishLocale(), " 42.5 ", 0, 100, 0},
        {englishLocale(), "-1e300", NoLimit, NoLimit, 0},
        {englishLocale(), "100.5", 0, 100, TextId::DoubleOutOfRange},
        {englishLocale(), "-0.001", 0, NoLimit, TextId::DoubleOutOfRange},
        {englishLocale(), "abc", 0, 100, TextId::NumericRequired},
        {englishLocale(), "", NoLimit, NoLimit, TextId::NumericRequired},
        {englishLocale(), "1,000", NoLimit, NoLimit, TextId::NumericRequired},
        {englishLocale(), "inf", NoLimit, NoLimit, TextId::NumericRequired},
        {englishLocale(), "-infinity", NoLimit, NoLimit, TextId::NumericRequired},
        {englishLocale(), "nan", NoLimit, NoLimit, TextId::NumericRequired},
        {englishLocale(), "1e999", NoLimit, NoLimit, TextId::NumericRequired},
        {commaLocale(), "2,5", 0, 10, 0},
        {commaLocale(), "2.5", NoLimit, NoLimit, TextId::NumericRequired},
    };
    for (const Case& c : cases) {
        const LocaleGuard locale(c.locale);
        const ValidationResult result = ValidateDouble(c.text, c.lower, c.upper);
        EXPECT_EQ(result.accepted, c.message == 0) << c.text.toStdString();
        if (c.message == TextId::NumericRequired) {
            EXPECT_EQ(result.message, LoadLocalizedString(TextId::NumericRequired)) << c.text.toStdString();
        } else if (c.message == TextId::DoubleOutOfRange) {
            EXPECT_TRUE(result.message.startsWith("The entered value is outside the valid range"));
        }
    }
}

TEST(ValueValidation, RangeMessagesShowTheLimits)
{
    {
        const LocaleGuard locale(englishLocale());
        EXPECT_EQ(ValidateDouble("100.5", 0, 100).message,
                  "The entered value is outside the valid range 0.000 to 100.000");
        EXPECT_EQ(ValidateDouble("-3", -2.5, NoLimit).message,
                  QString::fromUtf8("The entered value is outside the valid range -2.500 to ∞"));
        EXPECT_EQ(ValidateInteger("11", 1, 10).message, "The entered value is outside the valid range 1 to 10");
        EXPECT_EQ(ValidateInteger("0", 1.9, NoLimit).message,
                  QString::fromUtf8("The entered value is outside the valid range 1 to ∞"));
    }
    const LocaleGuard locale(commaLocale());
    EXPECT_EQ(ValidateDouble("0,5", 1.25, 2).message, "The entered value is outside the valid range 1,250 to 2,000");
}

TEST(ValueValidation, WholeNumberAnswers)
{
    const LocaleGuard locale(englishLocale());
    const std::vector<std::pair<QString, std::optional<qint32>>> readable = {
        {"5", 5},
        {"+5", 5},
        {" -12 ", -12},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"2.5", std::nullopt},
        {"", std::nullopt},
        {"1,000", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& [text, expected] : readable)
        EXPECT_EQ(ReadLocaleInteger(text), expected) << text.toStdString();

    EXPECT_TRUE(ValidateInteger("1", 1, 10).accepted);
    EXPECT_TRUE(ValidateInteger("10", 1, 10).accepted);
    EXPECT_EQ(ValidateInteger("2.5", 1, 10).message, LoadLocalizedString(TextId::IntegerRequired));
}

TEST(ValueValidation, FieldTypeParts)
{
    struct Case
    {
        QString typePart;
        bool ok;
        UserFieldKind kind;
        QString lower;
        QString upper;
        QString extension;
        QStringList items;
    };
    using K = UserFieldKind;
    const std::vector<Case> cases = {
        {"STRING", true, K::STRING, {}, {}, {}, {}},
        {" string ", true, K::STRING, {}, {}, {}, {}},
        {"DOUBLE", true, K::DOUBLE, {}, {}, {}, {}},
        {"DOUBLE|0|100", true, K::DOUBLE, "0", "100", {}, {}},
        {"double| 0 | 100 ", true, K::DOUBLE, "0", " 100 ", {}, {}},
        {"DOUBLE|5", true, K::DOUBLE, {}, {}, {}, {}},
        {"Integer", true, K::INTEGER, {}, {}, {}, {}},
        {"INTEGER|1|10|20", true, K::INTEGER, "1", "10|20", {}, {}},
        {"STRINGMENU|3|a|b|c", true, K::STRINGMENU, {}, {}, {}, {"a", "b", "c"}},
        {"STRINGMENU|3| a | b | c ", true, K::STRINGMENU, {}, {}, {}, {"a", "b", " c "}},
        {"STRINGMENU|2|a|b|c", false, K::STRINGMENU, {}, {}, {}, {}},
        {"STRINGMENU|1|", true, K::STRINGMENU, {}, {}, {}, {""}},
        {"STRINGMENU|2|", false, K::STRINGMENU, {}, {}, {}, {}},
        {"STRINGMENU|2|a|b|", true, K::STRINGMENU, {}, {}, {}, {"a", "b"}},
        {"STRINGMENU|4", true, K::STRINGMENU, {}, {}, {}, {}},
        {"STRINGMENU|three|a|b|c", false, K::STRINGMENU, {}, {}, {}, {}},
        {"STRINGMENU||a", false, K::STRINGMENU, {}, {}, {}, {}},
        {"FILENAME|.csv", true, K::FILENAME, {}, {}, "csv", {}},
        {"FILENAME|csv", true, K::FILENAME, {}, {}, "csv", {}},
        {"FILENAME|", true, K::FILENAME, {}, {}, "", {}},
        // Parts that declare no kind.
        {"STRINGMENU", false, K::STRING, {}, {}, {}, {}},
        {"FILENAME", false, K::STRING, {}, {}, {}, {}},
        {"STRING|", false, K::STRING, {}, {}, {}, {}},
        {"TEXT|x", false, K::STRING, {}, {}, {}, {}},
        {"", false, K::STRING, {}, {}, {}, {}},
        {"DOUBLE PRECISION", false, K::STRING, {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseFieldType(c.typePart);
        EXPECT_EQ(parsed.has_value(), c.ok) << c.typePart.toStdString();
        if (!parsed)
            continue;
        const UserFieldDefinition& definition = *parsed;
        EXPECT_EQ(definition.Kind, c.kind) << c.typePart.toStdString();
        EXPECT_EQ(definition.LowerText, c.lower) << c.typePart.toStdString();
        EXPECT_EQ(definition.UpperText, c.upper) << c.typePart.toStdString();
        EXPECT_EQ(definition.Extension, c.extension) << c.typePart.toStdString();
        EXPECT_EQ(definition.MenuItems, c.items) << c.typePart.toStdString();
    }
}

TEST(ValueValidation, QuotedAnswersAreValidXPathAndDecodeAsTyped)
{
    const XPathEvaluator xpath;
    // Each change of quote kind is one more concat() argument; libxml2 stops at 5000 levels.
    QString alternating;
    for (int i = 0; i < 12000; ++i)
        alternating += i % 2 ? u'"' : u'\'';
    const QStringList answers = {
        alternating,
        alternating + QStringLiteral("\t\U0001F600 tail"),
        "",
        "plain text",
        "O'Brien",
        "5\" pipe",
        "O'Brien's 5\" pipe",
        "'",
        "\"",
        "''\"\"'",
        "C:\\Data\\it's here\\x.csv",
        "a|b",
        "concat('a', 'b')",
        "'quoted'",
    };
    for (const QString& answer : answers) {
        const QString written = QuoteXPathString(answer);
        EXPECT_EQ(xpath.string(written), answer) << written.toStdString();
        EXPECT_EQ(DecodeSelectText(written), answer) << written.toStdString();
    }
    EXPECT_EQ(QuoteXPathString("abc"), "'abc'");
    EXPECT_EQ(QuoteXPathString("O'Brien"), "\"O'Brien\"");
}

TEST(ValueValidation, OtherSelectTextsDecodeAsBefore)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"'abc'", "abc"},
        {"''", ""},
        {"'it''s'", "it's"},
        {"2.5", "2.5"},
        {"$other", "$other"},
        {"\"open", "\"open"},
        {"\"a\"b\"", "\"a\"b\""},
        {"concat('a', $b)", "concat('a', $b)"},
        {"concat('a', 'b') + 1", "concat('a', 'b') + 1"},
        {"concat(", "concat("},
        {"\"csv\" ", "csv"},
        {"concat(concat('a', \"'\"), 'b')", "a'b"},
        {"concat(concat(concat(concat(concat(concat(concat(concat(concat(concat('a', 'b'))))))))))",
         "concat(concat(concat(concat(concat(concat(concat(concat(concat(concat('a', 'b'))))))))))"},
    };
    for (const auto& [select, decoded] : cases)
        EXPECT_EQ(DecodeSelectText(select), decoded) << select.toStdString();
}

TEST(ValueValidation, TextAnswersRefuseCharactersXmlCannotHold)
{
    struct Case
    {
        const char* name;
        QString answer;
        QString refused; // what the message names; empty when the answer is accepted
    };
    const Case cases[] = {
        {"plain", QStringLiteral("Point 7"), {}},
        {"tab and line end", QStringLiteral("a\tb\r\nc"), {}},
        {"outside the basic plane", QStringLiteral("\U0001F600"), {}},
        {"replacement character", QStringLiteral("\uFFFD"), {}},
        {"NUL", QStringLiteral("ab") + QChar(0) + u'c', QStringLiteral("U+0000 at position 3")},
        {"control character", QStringLiteral("\x01"), QStringLiteral("U+0001 at position 1")},
        {"non-character", QStringLiteral("x\uFFFE"), QStringLiteral("U+FFFE at position 2")},
        {"lone surrogate", QString(QChar(0xd800)) + u'x', QStringLiteral("U+D800 at position 1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const UserFieldKind kind : {UserFieldKind::STRING, UserFieldKind::FILENAME}) {
            const ValidationResult result = ValidateAnswer(ValueQuestion{{}, {}, kind, {}, {}, {}}, c.answer);
            EXPECT_EQ(result.accepted, c.refused.isEmpty());
            EXPECT_TRUE(result.message.contains(c.refused)) << result.message.toStdString();
        }
    }
}
