#include "xml/FormatNumber.h"

#include "xml/XmlText.h"

#include <QStringList>

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/functions.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

const QChar CurrencySign(0x00A4);

std::optional<QString> subpatternProblem(const QString& pattern, const DecimalSymbols& s)
{
    enum class Part
    {
        Prefix,
        Integer,
        Fraction,
        Suffix
    } part = Part::Prefix;
    bool seenZero = false;     // in the integer part
    bool seenDigit = false;    // '#' in the fraction part
    bool seenAnyDigit = false; // either, anywhere
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == u'\'') {
            quoted = !quoted;
            if (part == Part::Integer || part == Part::Fraction)
                part = Part::Suffix;
            continue;
        }
        if (quoted)
            continue;
        if (c == CurrencySign)
            return QStringLiteral("the currency sign is not supported");
        // '0' stands for the zero digit whatever the decimal format names.
        const QChar digit = c == u'0' ? s.zeroDigit : c;
        const bool numberChar =
            digit == s.digit || digit == s.zeroDigit || c == s.decimalSeparator || c == s.groupingSeparator;
        if (!numberChar) {
            if (part != Part::Prefix)
                part = Part::Suffix;
            continue;
        }
        if (part == Part::Suffix)
            return QStringLiteral("'%1' follows the end of the number").arg(c);
        if (part == Part::Prefix)
            part = Part::Integer;
        if (c == s.decimalSeparator) {
            if (part == Part::Fraction)
                return QStringLiteral("it has two decimal separators");
            part = Part::Fraction;
        } else if (c == s.groupingSeparator) {
            if (part == Part::Fraction)
                return QStringLiteral("a grouping separator follows the decimal separator");
        } else if (part == Part::Integer) {
            if (digit == s.digit && seenZero)
                return QStringLiteral("'%1' follows '%2' in the integer part").arg(s.digit, s.zeroDigit);
            seenZero = seenZero || digit == s.zeroDigit;
            seenAnyDigit = true;
        } else {
            if (digit == s.zeroDigit && seenDigit)
                return QStringLiteral("'%1' follows '%2' in the fraction part").arg(s.zeroDigit, s.digit);
            seenDigit = seenDigit || digit == s.digit;
            seenAnyDigit = true;
        }
    }
    if (!seenAnyDigit)
        return QStringLiteral("it has no digit");
    return std::nullopt;
}

DecimalSymbols symbolsOf(const xsltDecimalFormat* format)
{
    DecimalSymbols symbols;
    if (!format)
        return symbols;
    auto first = [](const xmlChar* text, QChar fallback) {
        const QString value = fromXml(text);
        return value.isEmpty() ? fallback : value[0];
    };
    symbols.digit = first(format->digit, symbols.digit);
    symbols.zeroDigit = first(format->zeroDigit, symbols.zeroDigit);
    symbols.decimalSeparator = first(format->decimalPoint, symbols.decimalSeparator);
    symbols.groupingSeparator = first(format->grouping, symbols.groupingSeparator);
    symbols.patternSeparator = first(format->patternSeparator, symbols.patternSeparator);
    return symbols;
}

// Keeps libxslt's complaint about an empty pattern, which the original service takes, out of the run's errors.
class SilencedGenericErrors
{
public:
    SilencedGenericErrors()
        : m_handler(xsltGenericError)
        , m_context(xsltGenericErrorContext)
    {
        xsltSetGenericErrorFunc(nullptr, &SilencedGenericErrors::ignore);
    }
    ~SilencedGenericErrors() { xsltSetGenericErrorFunc(m_context, m_handler); }
    SilencedGenericErrors(const SilencedGenericErrors&) = delete;
    SilencedGenericErrors& operator=(const SilencedGenericErrors&) = delete;

private:
    static void ignore(void*, const char*, ...) {}
    xmlGenericErrorFunc m_handler;
    void* m_context;
};

// Patterns and decimal formats found valid. A sheet calls format-number once per node with the
// same few literal patterns, and checking them anew each time cost a sixth of a large run.
// Cleared for every transformation, so that a format freed with its sheet is never taken for a
// new one at the same address.
struct AcceptedPattern
{
    std::string pattern;
    const xsltDecimalFormat* format = nullptr;
    std::optional<PlainNumberPattern> plain;
};

// Enough for the patterns one sheet writes; the rest are checked at every call.
constexpr std::size_t MostAcceptedPatterns = 16;
thread_local std::vector<AcceptedPattern> acceptedPatterns;

const AcceptedPattern* findAccepted(std::string_view pattern, const xsltDecimalFormat* format)
{
    for (const AcceptedPattern& accepted : acceptedPatterns) {
        if (accepted.format == format && accepted.pattern == pattern)
            return &accepted;
    }
    return nullptr;
}

// The text of an argument without copying it when it is a string already, as a literal pattern is.
class ArgumentText
{
public:
    explicit ArgumentText(xmlXPathObjectPtr value)
        : m_owned(value && value->type == XPATH_STRING ? nullptr : xmlXPathCastToString(value))
        , m_text(m_owned ? m_owned : value->stringval)
    {}
    ~ArgumentText() { xmlFree(m_owned); }
    ArgumentText(const ArgumentText&) = delete;
    ArgumentText& operator=(const ArgumentText&) = delete;

    const xmlChar* get() const { return m_text; }
    std::string_view view() const
    {
        return m_text ? std::string_view(reinterpret_cast<const char*>(m_text)) : std::string_view();
    }

private:
    xmlChar* m_owned;
    const xmlChar* m_text;
};

// The number value of a number, or of one element that holds a single text node, read without
// the copy of its string value that the general conversion makes.
std::optional<double> numberInPlace(const xmlXPathObject* value)
{
    if (value->type == XPATH_NUMBER)
        return value->floatval;
    if (value->type != XPATH_NODESET || !value->nodesetval || value->nodesetval->nodeNr != 1)
        return std::nullopt;
    const xmlNode* node = value->nodesetval->nodeTab[0];
    const xmlNode* text = node->type == XML_ELEMENT_NODE ? node->children : nullptr;
    if (!text || text->next || text->type != XML_TEXT_NODE || !text->content)
        return std::nullopt;
    return xmlXPathStringEvalNumber(text->content);
}

// format-number(number, pattern) for a plain pattern, with the arguments converted as libxslt
// converts them; false, with the stack as it was, when libxslt has to format the number.
bool formatPlainNumber(xmlXPathParserContextPtr ctxt, const PlainNumberPattern& plain)
{
    if (ctxt->valueNr < 2 || ctxt->value->type != XPATH_STRING)
        return false;
    xmlXPathObjectPtr pattern = valuePop(ctxt);
    std::optional<double> number = numberInPlace(ctxt->value);
    if (!number) {
        xmlXPathNumberFunction(ctxt, 1);
        if (ctxt->error == XPATH_EXPRESSION_OK && ctxt->value && ctxt->value->type == XPATH_NUMBER)
            number = ctxt->value->floatval;
    }
    PlainNumberPattern::Buffer buffer;
    const auto text = number ? plain.format(*number, buffer) : std::nullopt;
    if (!text) {
        valuePush(ctxt, pattern);
        return false;
    }
    xmlXPathFreeObject(valuePop(ctxt));
    xmlXPathFreeObject(pattern);
    valuePush(ctxt, xmlXPathWrapString(xmlStrndup(BAD_CAST text->data(), int(text->size()))));
    return true;
}

void checkedFormatNumber(xmlXPathParserContextPtr ctxt, int nargs)
{
    if ((nargs == 2 || nargs == 3) && ctxt->valueNr >= nargs) {
        xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
        const ArgumentText patternText(ctxt->valueTab[ctxt->valueNr - nargs + 1]);
        if (patternText.view().empty()) {
            SilencedGenericErrors silence;
            xsltFormatNumberFunction(ctxt, nargs);
            return;
        }
        const xsltDecimalFormat* format = nullptr;
        if (tctxt && nargs == 2)
            format = tctxt->style->decimalFormat;
        else if (tctxt) {
            const ArgumentText name(ctxt->valueTab[ctxt->valueNr - 1]);
            format = xsltDecimalFormatGetByName(tctxt->style, const_cast<xmlChar*>(name.get()));
        }
        if (const AcceptedPattern* accepted = findAccepted(patternText.view(), format)) {
            if (!(nargs == 2 && accepted->plain && formatPlainNumber(ctxt, *accepted->plain)))
                xsltFormatNumberFunction(ctxt, nargs);
            return;
        }
        const QString pattern = fromXml(patternText.get());
        if (const auto problem = formatPatternProblem(pattern, symbolsOf(format))) {
            xsltTransformError(tctxt, nullptr, tctxt ? tctxt->inst : nullptr,
                               "format-number: the pattern '%s' is not valid: %s\n", pattern.toUtf8().constData(),
                               problem->toUtf8().constData());
            if (tctxt)
                tctxt->state = XSLT_STATE_STOPPED;
            xmlXPathErr(ctxt, XPATH_EXPR_ERROR);
            return;
        }
        if (acceptedPatterns.size() < MostAcceptedPatterns)
            acceptedPatterns.push_back(
                {std::string(patternText.view()), format, PlainNumberPattern::parse(patternText.view(), format)});
    }
    xsltFormatNumberFunction(ctxt, nargs);
}

} // namespace

std::optional<QString> formatPatternProblem(const QString& pattern, const DecimalSymbols& symbols)
{
    if (pattern.isEmpty())
        return std::nullopt;
    QStringList parts;
    QString current;
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == u'\'')
            quoted = !quoted;
        if (c == symbols.patternSeparator && !quoted) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    if (parts.size() > 2)
        return QStringLiteral("it has more than two subpatterns");
    // An empty negative subpattern is refused, an empty positive one is taken (";#").
    for (const QString& part : parts) {
        if (part.isEmpty() && &part == &parts.front())
            continue;
        if (const auto problem = subpatternProblem(part, symbols))
            return problem;
    }
    return std::nullopt;
}

void installCheckedFormatNumber(_xsltTransformContext* context)
{
    acceptedPatterns.clear();
    // Registering adds nothing where a function of that name exists: the built-in one goes first.
    xmlXPathRegisterFunc(context->xpathCtxt, BAD_CAST "format-number", nullptr);
    xmlXPathRegisterFunc(context->xpathCtxt, BAD_CAST "format-number", checkedFormatNumber);
}

std::optional<PlainNumberPattern> PlainNumberPattern::parse(std::string_view pattern, const _xsltDecimalFormat* format)
{
    const auto is = [](const xmlChar* symbol, const char* expected) {
        return symbol && xmlStrEqual(symbol, BAD_CAST expected);
    };
    if (!format || !is(format->digit, "#") || !is(format->zeroDigit, "0") || !is(format->decimalPoint, ".") ||
        !is(format->minusSign, "-") || !is(format->grouping, ",") || !is(format->patternSeparator, ";") ||
        !is(format->percent, "%") || !is(format->permille, "\u2030"))
        return std::nullopt;
    // '#'* '0'+ ('.' '0'* '#'*)?, with at least one digit after a decimal point.
    std::size_t i = pattern.find_first_not_of('#');
    PlainNumberPattern plain;
    for (; i < pattern.size() && pattern[i] == '0'; ++i)
        ++plain.m_integerZeros;
    if (i < pattern.size() && pattern[i] == '.') {
        for (++i; i < pattern.size() && pattern[i] == '0'; ++i)
            ++plain.m_fractionZeros;
        for (; i < pattern.size() && pattern[i] == '#'; ++i)
            ++plain.m_fractionHashes;
        if (plain.m_fractionZeros + plain.m_fractionHashes == 0)
            return std::nullopt;
    }
    constexpr int MostDigits = 15;
    if (i != pattern.size() || plain.m_integerZeros == 0 || plain.m_integerZeros > MostDigits ||
        plain.m_fractionZeros + plain.m_fractionHashes > MostDigits)
        return std::nullopt;
    return plain;
}

std::optional<std::string_view> PlainNumberPattern::format(double number, Buffer& buffer) const
{
    // libxslt takes each digit with fmod after repeated division by ten; below this bound the
    // divisions' rounding never reaches a digit, so exact integer arithmetic gives the same digits.
    constexpr double ExactDigitsBelow = 1e12;
    constexpr std::array<double, 16> PowersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (!std::isfinite(number))
        return std::nullopt;
    // The rounding is libxslt's own, operation for operation, so that halves round alike.
    const double scale = PowersOfTen[std::size_t(m_fractionZeros + m_fractionHashes)];
    const double rounded = std::floor(scale * std::fabs(number) + 0.5) / scale;
    const double whole = std::floor(rounded);
    double fraction = 0;
    if (whole >= ExactDigitsBelow || (fraction = std::floor(scale * (rounded - whole) + 0.5)) >= ExactDigitsBelow)
        return std::nullopt;

    char* const end = buffer.data() + buffer.size();
    char* out = end;
    const auto prependDigits = [&out](std::uint64_t value, int width) {
        for (int i = 0; i < width || value > 0; ++i) {
            *--out = char('0' + value % 10);
            value /= 10;
        }
    };
    if (m_fractionZeros + m_fractionHashes > 0 && (rounded != whole || m_fractionZeros > 0)) {
        auto digits = std::uint64_t(fraction);
        // Optional digits drop their trailing zeros.
        int hashes = m_fractionHashes;
        for (; hashes > 0 && digits % 10 == 0; --hashes)
            digits /= 10;
        prependDigits(digits, m_fractionZeros + hashes);
        *--out = '.';
    }
    prependDigits(std::uint64_t(whole), m_integerZeros);
    if (number < 0)
        *--out = '-';
    return std::string_view(out, std::size_t(end - out));
}
