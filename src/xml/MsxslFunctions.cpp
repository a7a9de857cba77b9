#include "xml/MsxslFunctions.h"
#include "xml/XmlText.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <cmath>
#include <limits>

namespace {

const xmlChar* const MsxslNamespace = BAD_CAST "urn:schemas-microsoft-com:xslt";

// The fields of an XSD date/time value; missing ones stay empty.
struct DateTimeFields
{
    std::optional<int> year, month, day;
    std::optional<QTime> time;
    bool hasMilliseconds = false;
    std::optional<int> offsetSeconds; // time zone
};

std::optional<int> offsetOf(const QString& zone)
{
    if (zone.isEmpty())
        return std::nullopt;
    if (zone == u"Z")
        return 0;
    const int hours = zone.mid(1, 2).toInt();
    const int minutes = zone.mid(4, 2).toInt();
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    return (zone[0] == u'-' ? -1 : 1) * (hours * 3600 + minutes * 60);
}

// Parses the XSD forms dateTime, date, time, gYearMonth, gYear, gMonthDay, gDay and gMonth.
// Which captures a date-time form has: year, month, day, and whether a clock follows.
struct DateTimeShape
{
    bool year, month, day, clock;
};

// The fields a match of a form of that shape gives, checked for range; nothing when out of range.
std::optional<DateTimeFields> dateTimeFieldsOf(const QRegularExpressionMatch& match, DateTimeShape shape)
{
    DateTimeFields fields;
    int group = 1;
    if (shape.year) {
        const QString year = match.captured(group++);
        if (year.startsWith(u'-') || year.size() > 4)
            return std::nullopt;
        fields.year = year.toInt();
    }
    if (shape.month)
        fields.month = match.captured(group++).toInt();
    if (shape.day)
        fields.day = match.captured(group++).toInt();
    if (shape.clock) {
        const int hour = match.captured(group++).toInt();
        const int minute = match.captured(group++).toInt();
        const int second = match.captured(group++).toInt();
        const QString fraction = match.captured(group++);
        fields.hasMilliseconds = !fraction.isEmpty();
        const int millisecond = (fraction + QStringLiteral("00")).left(3).toInt();
        if (!QTime::isValid(hour, minute, second, millisecond))
            return std::nullopt;
        fields.time = QTime(hour, minute, second, millisecond);
    }
    const QString zoneText = match.captured(group);
    fields.offsetSeconds = offsetOf(zoneText);
    if (!zoneText.isEmpty() && !fields.offsetSeconds)
        return std::nullopt;
    if (fields.month && (*fields.month < 1 || *fields.month > 12))
        return std::nullopt;
    if (fields.day && !QDate::isValid(fields.year.value_or(2000), fields.month.value_or(1), *fields.day))
        return std::nullopt;
    return fields;
}

std::optional<DateTimeFields> parseDateTime(const QString& text)
{
    static const QString zone = QStringLiteral("(Z|[+-]\\d{2}:\\d{2})?");
    static const QString clock = QStringLiteral("(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d+))?");
    static const QRegularExpression forms[] = {
        QRegularExpression(QStringLiteral("^(-?\\d{4,})-(\\d{2})-(\\d{2})T") + clock + zone + u'$'),
        QRegularExpression(QStringLiteral("^(-?\\d{4,})-(\\d{2})-(\\d{2})") + zone + u'$'),
        QRegularExpression(u'^' + clock + zone + u'$'),
        QRegularExpression(QStringLiteral("^(-?\\d{4,})-(\\d{2})") + zone + u'$'),
        QRegularExpression(QStringLiteral("^(-?\\d{4,})") + zone + u'$'),
        QRegularExpression(QStringLiteral("^--(\\d{2})-(\\d{2})") + zone + u'$'),
        QRegularExpression(QStringLiteral("^---(\\d{2})") + zone + u'$'),
        QRegularExpression(QStringLiteral("^--(\\d{2})(?:--)?") + zone + u'$'),
    };
    static constexpr DateTimeShape shapes[] = {{true, true, true, true},    {true, true, true, false},
                                               {false, false, false, true}, {true, true, false, false},
                                               {true, false, false, false}, {false, true, true, false},
                                               {false, false, true, false}, {false, true, false, false}};
    const QString trimmed = text.trimmed();
    for (std::size_t form = 0; form < std::size(forms); ++form) {
        const QRegularExpressionMatch match = forms[form].match(trimmed);
        if (!match.hasMatch())
            continue;
        return dateTimeFieldsOf(match, shapes[form]);
    }
    return std::nullopt;
}

QLocale localeFor(const QString& name)
{
    return name.isEmpty() ? QLocale() : QLocale(QString(name).replace(u'-', u'_'));
}

// Applies a picture of letter runs ("dd", "MMMM", "HH"...), quoted literals and other characters
// as they are; `field` turns one run into text.
template <typename Field>
QString applyPicture(const QString& format, Field field)
{
    QString out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            if (end == i + 1)
                out += u'\'';
            else
                out += format.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        const std::optional<QString> text = field(c, int(run));
        out += text ? *text : format.mid(i, run);
        i += run;
    }
    return out;
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

void stopWith(xmlXPathParserContext* ctxt, const QString& message)
{
    xsltTransformContext* context = xsltXPathGetTransformContext(ctxt);
    xsltTransformError(context, nullptr, context ? context->inst : nullptr, "%s\n", message.toUtf8().constData());
    if (context)
        context->state = XSLT_STATE_STOPPED;
    ctxt->error = XPATH_EXPR_ERROR;
}

// Pops the arguments as strings, last first, after checking how many there are.
std::optional<std::vector<QString>> popStrings(xmlXPathParserContext* ctxt, int nargs, int least, int most)
{
    if (nargs < least || nargs > most) {
        xmlXPathErr(ctxt, XPATH_INVALID_ARITY);
        return std::nullopt;
    }
    std::vector<QString> args(static_cast<std::size_t>(nargs));
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        xmlChar* text = xmlXPathPopString(ctxt);
        *it = fromXml(text);
        xmlFree(text);
    }
    return args;
}

void pushString(xmlXPathParserContext* ctxt, const QString& text)
{
    valuePush(ctxt, xmlXPathNewString(BAD_CAST text.toUtf8().constData()));
}

QString arg(const std::vector<QString>& args, std::size_t i)
{
    return i < args.size() ? args[i] : QString();
}

void stringCompareFunction(xmlXPathParserContext* ctxt, int nargs)
{
    const auto args = popStrings(ctxt, nargs, 2, 4);
    if (!args)
        return;
    const auto result = Msxsl::stringCompare(arg(*args, 0), arg(*args, 1), arg(*args, 2), arg(*args, 3));
    if (!result) {
        stopWith(ctxt, QStringLiteral("ms:string-compare: unsupported language \"%1\" or options \"%2\"")
                           .arg(arg(*args, 2), arg(*args, 3)));
        return;
    }
    valuePush(ctxt, xmlXPathNewFloat(*result));
}

void utcFunction(xmlXPathParserContext* ctxt, int nargs)
{
    if (const auto args = popStrings(ctxt, nargs, 1, 1))
        pushString(ctxt, Msxsl::utc(arg(*args, 0)));
}

void numberFunction(xmlXPathParserContext* ctxt, int nargs)
{
    if (const auto args = popStrings(ctxt, nargs, 1, 1))
        valuePush(ctxt, xmlXPathNewFloat(Msxsl::number(arg(*args, 0))));
}

void formatDateFunction(xmlXPathParserContext* ctxt, int nargs)
{
    if (const auto args = popStrings(ctxt, nargs, 1, 3))
        pushString(ctxt, Msxsl::formatDate(arg(*args, 0), arg(*args, 1), arg(*args, 2)));
}

void formatTimeFunction(xmlXPathParserContext* ctxt, int nargs)
{
    if (const auto args = popStrings(ctxt, nargs, 1, 3))
        pushString(ctxt, Msxsl::formatTime(arg(*args, 0), arg(*args, 1), arg(*args, 2)));
}

// A qualified name split at its colon; nothing when the text is no qualified name.
std::optional<std::pair<QByteArray, QByteArray>> splitQName(const QString& text)
{
    const QByteArray name = text.toUtf8();
    if (name.isEmpty() || xmlValidateQName(BAD_CAST name.constData(), 0) != 0)
        return std::nullopt;
    const qsizetype colon = name.indexOf(':');
    if (colon < 0)
        return std::pair{QByteArray(), name};
    return std::pair{name.left(colon), name.mid(colon + 1)};
}

void localNameFunction(xmlXPathParserContext* ctxt, int nargs)
{
    if (const auto args = popStrings(ctxt, nargs, 1, 1)) {
        const auto name = splitQName(arg(*args, 0));
        pushString(ctxt, name ? QString::fromUtf8(name->second) : QString());
    }
}

// The prefix is resolved against the namespaces in scope at the context node.
void namespaceUriFunction(xmlXPathParserContext* ctxt, int nargs)
{
    const auto args = popStrings(ctxt, nargs, 1, 1);
    if (!args)
        return;
    const auto name = splitQName(arg(*args, 0));
    xmlNode* node = ctxt->context->node;
    if (node && node->type != XML_ELEMENT_NODE)
        node = node->parent && node->parent->type == XML_ELEMENT_NODE ? node->parent : nullptr;
    const xmlNs* ns = nullptr;
    if (name && node)
        ns = xmlSearchNs(node->doc, node, name->first.isEmpty() ? nullptr : BAD_CAST name->first.constData());
    pushString(ctxt, ns ? QString::fromUtf8(reinterpret_cast<const char*>(ns->href)) : QString());
}

} // namespace

namespace Msxsl {

std::optional<int> stringCompare(const QString& x, const QString& y, const QString& language, const QString& options)
{
    const QLocale locale = localeFor(language);
    if (!language.isEmpty() && locale.language() == QLocale::C)
        return std::nullopt;
    for (const QChar option : options) {
        if (option != u'u' && option != u'i')
            return std::nullopt;
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(options.contains(u'i') ? Qt::CaseInsensitive : Qt::CaseSensitive);
    int result = collator.compare(x, y);
    result = result < 0 ? -1 : result > 0 ? 1 : 0;
    if (result != 0 && options == u"u") {
        // Upper case first: only pairs that differ in case alone change order.
        QCollator caseless(locale);
        caseless.setCaseSensitivity(Qt::CaseInsensitive);
        if (caseless.compare(x, y) == 0)
            result = -result;
    }
    return result;
}

QString utc(const QString& value)
{
    auto fields = parseDateTime(value);
    if (!fields)
        return {};
    if (fields->time && fields->year && fields->month && fields->day) {
        const QDate date(*fields->year, *fields->month, *fields->day);
        const QDateTime local = fields->offsetSeconds
                                    ? QDateTime(date, *fields->time, QTimeZone(*fields->offsetSeconds))
                                    : QDateTime(date, *fields->time);
        const QDateTime inUtc = local.toUTC();
        if (inUtc.date().year() < 1 || inUtc.date().year() > 9999)
            return {};
        fields->year = inUtc.date().year();
        fields->month = inUtc.date().month();
        fields->day = inUtc.date().day();
        fields->time = inUtc.time();
    } else if (fields->time) {
        const int offset =
            fields->offsetSeconds ? *fields->offsetSeconds : QDateTime::currentDateTime().offsetFromUtc();
        fields->time = fields->time->addSecs(-offset);
    }
    const auto field = [](const std::optional<int>& part, int width) {
        return part ? QStringLiteral("%1").arg(*part, width, 10, QLatin1Char('0')) : QString(width, u'-');
    };
    QString out = field(fields->year, 4) + u'-' + field(fields->month, 2) + u'-' + field(fields->day, 2) + u'T';
    if (!fields->time)
        return out + QStringLiteral("--:--:--");
    out += fields->time->toString(QStringLiteral("HH:mm:ss"));
    if (fields->hasMilliseconds)
        out += fields->time->toString(QStringLiteral(".zzz"));
    return out;
}

double number(const QString& value)
{
    static const QRegularExpression decimal(QStringLiteral(R"(^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?$)"));
    const QString trimmed = value.trimmed();
    if (trimmed == u"INF")
        return std::numeric_limits<double>::infinity();
    if (trimmed == u"-INF")
        return -std::numeric_limits<double>::infinity();
    if (decimal.match(trimmed).hasMatch())
        return trimmed.toDouble();
    return std::numeric_limits<double>::quiet_NaN();
}

QString formatDate(const QString& value, const QString& format, const QString& localeName)
{
    const auto fields = parseDateTime(value);
    if (!fields || !fields->year)
        return {};
    // A date with missing month or day is filled in with the first.
    const QDate date(*fields->year, fields->month.value_or(1), fields->day.value_or(1));
    const QLocale locale = localeFor(localeName);
    if (format.isEmpty())
        return locale.toString(date, QLocale::ShortFormat);
    return applyPicture(format, [&](QChar c, int run) -> std::optional<QString> {
        switch (c.unicode()) {
        case 'd':
            if (run >= 3)
                return locale.dayName(date.dayOfWeek(), run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            return run == 1 ? QString::number(date.day()) : twoDigits(date.day());
        case 'M':
            if (run >= 3)
                return locale.monthName(date.month(), run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            return run == 1 ? QString::number(date.month()) : twoDigits(date.month());
        case 'y':
            if (run <= 2)
                return run == 1 ? QString::number(date.year() % 100) : twoDigits(date.year() % 100);
            return QString::number(date.year());
        case 'g':
            return QString();
        default:
            return std::nullopt;
        }
    });
}

QString formatTime(const QString& value, const QString& format, const QString& localeName)
{
    const auto fields = parseDateTime(value);
    if (!fields || !fields->time)
        return {};
    const QTime time = *fields->time;
    const QLocale locale = localeFor(localeName);
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    const QString marker = time.hour() < 12 ? locale.amText() : locale.pmText();
    return applyPicture(format.isEmpty() ? QStringLiteral("h:mm:ss tt") : format,
                        [&](QChar c, int run) -> std::optional<QString> {
                            switch (c.unicode()) {
                            case 'h':
                                return run == 1 ? QString::number(hour12) : twoDigits(hour12);
                            case 'H':
                                return run == 1 ? QString::number(time.hour()) : twoDigits(time.hour());
                            case 'm':
                                return run == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
                            case 's':
                                return run == 1 ? QString::number(time.second()) : twoDigits(time.second());
                            case 't':
                                return run == 1 ? marker.left(1) : marker;
                            default:
                                return std::nullopt;
                            }
                        });
}

} // namespace Msxsl

void registerMsxslFunctions()
{
    const struct
    {
        const char* name;
        xmlXPathFunction function;
    } functions[] = {
        {"string-compare", stringCompareFunction}, {"utc", utcFunction},       {"namespace-uri", namespaceUriFunction},
        {"local-name", localNameFunction},         {"number", numberFunction}, {"format-date", formatDateFunction},
        {"format-time", formatTimeFunction},
    };
    for (const auto& entry : functions)
        xsltRegisterExtModuleFunction(BAD_CAST entry.name, MsxslNamespace, entry.function);
}
