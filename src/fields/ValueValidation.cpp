#include "fields/ValueValidation.h"

#include "fields/SelectText.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

namespace {

bool isTrimmable(QChar c)
{
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
}

// A number as decimal digits: negative, digits "d1d2d3…" standing for d1.d2d3… × 10^exponent.
struct DecimalDigits
{
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

DecimalDigits scientificDigits(double value, int significant)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1);
    const std::string text(buffer, result.ptr);

    DecimalDigits d;
    std::size_t pos = 0;
    if (text[pos] == '-') {
        d.negative = true;
        ++pos;
    }
    const std::size_t e = text.find('e');
    for (; pos < e; ++pos) {
        if (text[pos] != '.')
            d.digits += text[pos];
    }
    d.exponent = std::stoi(text.substr(e + 1));
    return d;
}

// Keeps the first keep digits, rounding half up on the decimal digits.
void roundDigits(DecimalDigits& d, int keep)
{
    if (keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits = "0";
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && d.digits[i] == '9'; --i)
            d.digits[i] = '0';
        if (i >= 0) {
            ++d.digits[i];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    if (d.digits.empty())
        d.digits = "0";
}

// Fixed-point text with exactly that many decimals; digits beyond them are dropped, missing ones are
// zeros.
std::string fixedText(const DecimalDigits& d, int decimals)
{
    const auto digitAt = [&d](int index) {
        return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
    };
    std::string text;
    if (d.exponent < 0) {
        text = "0";
    } else {
        for (int i = 0; i <= d.exponent; ++i)
            text += digitAt(i);
    }
    if (decimals > 0) {
        text += '.';
        for (int i = 1; i <= decimals; ++i)
            text += digitAt(d.exponent + i);
    }
    if (d.negative && text.find_first_not_of("0.") != std::string::npos)
        text.insert(text.begin(), '-');
    return text;
}

// value rounded to that many significant digits and shown with that many decimals, in the user's
// locale without group separators.
QString localeFixed(double value, int significant, int decimals)
{
    DecimalDigits d = scientificDigits(value, significant);
    roundDigits(d, d.exponent + 1 + decimals);
    const std::string text = fixedText(d, decimals);

    const QLocale locale;
    const QString zero = locale.zeroDigit();
    QString shown;
    for (const char c : text) {
        if (c == '.')
            shown += locale.decimalPoint();
        else if (c == '-')
            shown += locale.negativeSign();
        else if (zero == QLatin1String("0"))
            shown += QLatin1Char(c);
        else
            shown += QChar(zero.at(0).unicode() + (c - '0'));
    }
    return shown;
}

QLocale answerLocale()
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    return locale;
}

QString doubleLimitText(double limit, bool lower)
{
    if (limit == NoLimit)
        return lower ? QStringLiteral("-∞") : QStringLiteral("∞");
    return localeFixed(limit, 17, 3);
}

QString integerLimitText(double limit, bool lower)
{
    if (limit == NoLimit)
        return lower ? QStringLiteral("-∞") : QStringLiteral("∞");
    return FormatDotNumber(std::trunc(limit));
}

bool outsideLimits(double value, double lowerLimit, double upperLimit)
{
    return (value < lowerLimit && lowerLimit != NoLimit) || (value > upperLimit && upperLimit != NoLimit);
}

// An XPath 1.0 string literal at pos: its value, and pos moved past it.
std::optional<QString> readLiteral(const QString& text, qsizetype& pos)
{
    if (pos >= text.size() || (text.at(pos) != u'\'' && text.at(pos) != u'"'))
        return std::nullopt;
    const QChar quote = text.at(pos);
    const qsizetype end = text.indexOf(quote, pos + 1);
    if (end < 0)
        return std::nullopt;
    QString value = text.mid(pos + 1, end - pos - 1);
    pos = end + 1;
    return value;
}

void skipBlanks(const QString& text, qsizetype& pos)
{
    // XPath's ExprWhitespace
    while (pos < text.size() &&
           (text.at(pos) == u' ' || text.at(pos) == u'\t' || text.at(pos) == u'\r' || text.at(pos) == u'\n'))
        ++pos;
}

// Deeper than anything QuoteXPathString writes; keeps a hostile select text from exhausting the
// stack.
constexpr int MaxConcatNesting = 8;

// A concat() of string literals and of such concat()s at pos: its value, and pos moved past it.
std::optional<QString> readConcat(const QString& text, qsizetype& pos, int depth = 0)
{
    static const QLatin1String opening("concat(");
    if (depth > MaxConcatNesting || !QStringView(text).sliced(pos).startsWith(opening))
        return std::nullopt;
    qsizetype at = pos + opening.size();
    QString value;
    for (;;) {
        skipBlanks(text, at);
        auto part = readConcat(text, at, depth + 1);
        if (!part)
            part = readLiteral(text, at);
        if (!part)
            return std::nullopt;
        value += *part;
        skipBlanks(text, at);
        if (at < text.size() && text.at(at) == u',') {
            ++at;
            continue;
        }
        if (at < text.size() && text.at(at) == u')') {
            pos = at + 1;
            return value;
        }
        return std::nullopt;
    }
}

QString concatOf(const QStringList& arguments)
{
    return QStringLiteral("concat(") + arguments.join(u", ") + u')';
}

} // namespace

QString TrimText(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmable(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool SameTextIgnoringCase(const QString& a, const QString& b)
{
    const QLocale locale;
    return locale.toUpper(a) == locale.toUpper(b);
}

std::optional<double> ParseDotNumber(const QString& text)
{
    // Checked by hand: from_chars takes no "+" and the C library's readers follow the process locale.
    std::string bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        bytes += static_cast<char>(c.unicode());
    }
    std::size_t pos = 0;
    if (pos < bytes.size() && (bytes[pos] == '+' || bytes[pos] == '-'))
        ++pos;
    const std::size_t mantissa = pos;
    const auto isDigit = [&bytes](std::size_t i) { return i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; };
    std::size_t digits = 0;
    for (; isDigit(pos); ++pos)
        ++digits;
    if (pos < bytes.size() && bytes[pos] == '.') {
        ++pos;
        for (; isDigit(pos); ++pos)
            ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (pos < bytes.size() && (bytes[pos] == 'e' || bytes[pos] == 'E')) {
        ++pos;
        if (pos < bytes.size() && (bytes[pos] == '+' || bytes[pos] == '-'))
            ++pos;
        if (!isDigit(pos))
            return std::nullopt;
        while (isDigit(pos))
            ++pos;
    }
    if (pos != bytes.size())
        return std::nullopt;

    double value = 0;
    const char* first = bytes.data() + mantissa;
    const auto result = std::from_chars(first, bytes.data() + bytes.size(), value);
    if (result.ec != std::errc() || result.ptr != bytes.data() + bytes.size() || !std::isfinite(value))
        return std::nullopt;
    return bytes[0] == '-' ? -value : value;
}

QString FormatDotNumber(double number)
{
    // Non-finite values have no XPath literal; these expressions evaluate to them.
    if (std::isnan(number))
        return QStringLiteral("(0 div 0)");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("(1 div 0)") : QStringLiteral("(-1 div 0)");
    if (number == 0)
        return QStringLiteral("0");

    DecimalDigits d = scientificDigits(number, 15);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    const int decimals = std::max(0, static_cast<int>(d.digits.size()) - 1 - d.exponent);
    return QString::fromStdString(fixedText(d, decimals));
}

double ReadLimit(const QString& text)
{
    qsizetype begin = 0;
    while (begin < text.size() && isTrimmable(text.at(begin)))
        ++begin;
    return ParseDotNumber(text.mid(begin)).value_or(NoLimit);
}

std::optional<double> ReadLocaleDouble(const QString& text)
{
    bool ok = false;
    const double value = answerLocale().toDouble(TrimText(text), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint32> ReadLocaleInteger(const QString& text)
{
    bool ok = false;
    const qint32 value = answerLocale().toInt(TrimText(text), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

ValidationResult ValidateDouble(const QString& text, double lowerLimit, double upperLimit)
{
    const auto value = ReadLocaleDouble(text);
    if (!value)
        return {false, LoadLocalizedString(TextId::NumericRequired)};
    if (outsideLimits(*value, lowerLimit, upperLimit)) {
        return {false, FormatText(LoadLocalizedString(TextId::DoubleOutOfRange),
                                  {doubleLimitText(lowerLimit, true), doubleLimitText(upperLimit, false)})};
    }
    return {};
}

ValidationResult ValidateInteger(const QString& text, double lowerLimit, double upperLimit)
{
    const auto value = ReadLocaleInteger(text);
    if (!value)
        return {false, LoadLocalizedString(TextId::IntegerRequired)};
    if (outsideLimits(*value, lowerLimit, upperLimit)) {
        return {false, FormatText(LoadLocalizedString(TextId::IntegerOutOfRange),
                                  {integerLimitText(lowerLimit, true), integerLimitText(upperLimit, false)})};
    }
    return {};
}

std::optional<qsizetype> FirstNonXmlCharacter(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        const bool xmlChar =
            c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd);
        if (!xmlChar)
            return i;
    }
    return std::nullopt;
}

ValidationResult ValidateText(const QString& text)
{
    const auto at = FirstNonXmlCharacter(text);
    if (!at)
        return {};
    const QString code = QStringLiteral("%1").arg(text.at(*at).unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return {false, FormatText(LoadLocalizedString(TextId::UnusableCharacter), {code, QString::number(*at + 1)})};
}

ValidationResult ValidateAnswer(const ValueQuestion& question, const QString& answer)
{
    switch (question.kind) {
    case UserFieldKind::DOUBLE:
        return ValidateDouble(answer, ReadLimit(question.lowerText), ReadLimit(question.upperText));
    case UserFieldKind::INTEGER:
        return ValidateInteger(answer, ReadLimit(question.lowerText), ReadLimit(question.upperText));
    case UserFieldKind::STRING:
    case UserFieldKind::STRINGMENU:
    case UserFieldKind::FILENAME:
        break;
    }
    return ValidateText(answer);
}

QString FormatFieldDefault(const QString& text, UserFieldKind kind)
{
    if (kind != UserFieldKind::DOUBLE)
        return text;
    const QString number = TrimText(text);
    const auto value = ParseDotNumber(number);
    if (!value)
        return text;
    // The decimals are counted as written, so a default without a point gets as many decimals as it
    // has characters.
    const qsizetype point = number.indexOf(u'.');
    const qsizetype decimals = number.size() - (point + 1);
    // Fifteen significant digits keep every digit a stored default can mean: accepting the default
    // must not change a coordinate.
    return localeFixed(*value, 15, static_cast<int>(decimals));
}

namespace {

// Type words are keywords, not user text: matched the same way in every locale.
bool isTypeWord(const QString& text, QLatin1String word)
{
    return text.compare(word, Qt::CaseInsensitive) == 0;
}

// "count|item|item…": the items, when there are as many as the count says. At least one item,
// possibly empty; a bar at the very end adds none.
std::optional<QStringList> parseMenuItems(const QString& tail)
{
    const qsizetype countBar = tail.indexOf(u'|');
    if (countBar < 0)
        return QStringList();
    bool ok = false;
    const int count = TrimText(tail.left(countBar)).toInt(&ok);
    if (!ok)
        return std::nullopt;
    QStringList items;
    qsizetype pos = countBar + 1;
    do {
        const qsizetype next = tail.indexOf(u'|', pos);
        if (next >= 0) {
            items << TrimText(tail.mid(pos, next - pos));
            pos = next + 1;
        } else {
            items << tail.mid(pos);
            pos = tail.size();
        }
    } while (pos < tail.size());
    if (count != items.size())
        return std::nullopt;
    return items;
}

} // namespace

std::optional<UserFieldDefinition> ParseFieldType(const QString& typePart)
{
    UserFieldDefinition definition;
    if (isTypeWord(TrimText(typePart), QLatin1String("STRING"))) {
        definition.Kind = UserFieldKind::STRING;
        return definition;
    }

    QString part = typePart;
    if (!part.contains(u'|')) {
        if (part.contains(QLatin1String("DOUBLE"), Qt::CaseInsensitive) ||
            part.contains(QLatin1String("INTEGER"), Qt::CaseInsensitive))
            part += u'|';
        else
            return std::nullopt;
    }

    const qsizetype bar = part.indexOf(u'|');
    const QString word = TrimText(part.left(bar));
    const QString tail = part.mid(bar + 1);

    if (isTypeWord(word, QLatin1String("DOUBLE")) || isTypeWord(word, QLatin1String("INTEGER"))) {
        definition.Kind = isTypeWord(word, QLatin1String("DOUBLE")) ? UserFieldKind::DOUBLE : UserFieldKind::INTEGER;
        const qsizetype limitBar = tail.indexOf(u'|');
        if (limitBar >= 0) {
            definition.LowerText = TrimText(tail.left(limitBar));
            definition.UpperText = tail.mid(limitBar + 1);
        }
        return definition;
    }
    if (isTypeWord(word, QLatin1String("STRINGMENU"))) {
        auto items = parseMenuItems(tail);
        if (!items)
            return std::nullopt;
        definition.Kind = UserFieldKind::STRINGMENU;
        definition.MenuItems = *std::move(items);
        return definition;
    }
    if (isTypeWord(word, QLatin1String("FILENAME"))) {
        definition.Kind = UserFieldKind::FILENAME;
        definition.Extension = tail.startsWith(u'.') ? tail.mid(1) : tail;
        return definition;
    }
    return std::nullopt;
}

QString QuoteXPathString(const QString& text)
{
    const bool apostrophe = text.contains(u'\'');
    if (!apostrophe)
        return u'\'' + text + u'\'';
    if (!text.contains(u'"'))
        return u'"' + text + u'"';

    // Both kinds: runs of apostrophes between double quotes, everything else between apostrophes.
    QStringList parts;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const bool apostrophes = text.at(pos) == u'\'';
        qsizetype end = pos;
        while (end < text.size() && (text.at(end) == u'\'') == apostrophes)
            ++end;
        const QChar quote = apostrophes ? u'"' : u'\'';
        parts << quote + text.mid(pos, end - pos) + quote;
        pos = end;
    }
    // libxml2 gives up beyond 5000 levels: groups keep any length a few hundred levels deep.
    constexpr qsizetype MaxArguments = 256;
    while (parts.size() > MaxArguments) {
        QStringList groups;
        for (qsizetype i = 0; i < parts.size(); i += MaxArguments) {
            const QStringList group = parts.mid(i, MaxArguments);
            groups << (group.size() == 1 ? group.first() : concatOf(group));
        }
        parts = groups;
    }
    return concatOf(parts);
}

QString DecodeSelectText(const QString& select)
{
    const bool doubleQuoted = select.startsWith(u'"');
    if (doubleQuoted || select.startsWith(QLatin1String("concat("))) {
        qsizetype pos = 0;
        const auto value = doubleQuoted ? readLiteral(select, pos) : readConcat(select, pos);
        skipBlanks(select, pos);
        return value && pos == select.size() ? *value : select;
    }
    return DequoteSelect(select);
}
