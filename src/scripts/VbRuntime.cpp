#include "scripts/VbRuntime.h"
#include "scripts/VbTranslator.h"

#include "VbRuntimeScript.h"

#include <QFileInfo>
#include <QJSEngine>
#include <QLocale>
#include <QObject>
#include <QRegularExpression>

#include <array>
#include <optional>
#include <utility>

namespace {

// Locale identifiers as scripts know them, and the locales they stand for.
constexpr std::array<std::pair<int, const char*>, 31> Lcids{{
    {1033, "en_US"}, {2057, "en_GB"}, {3081, "en_AU"}, {4105, "en_CA"}, {1031, "de_DE"}, {3079, "de_AT"},
    {2055, "de_CH"}, {1036, "fr_FR"}, {2060, "fr_BE"}, {3084, "fr_CA"}, {4108, "fr_CH"}, {1040, "it_IT"},
    {3082, "es_ES"}, {2058, "es_MX"}, {1043, "nl_NL"}, {2067, "nl_BE"}, {1053, "sv_SE"}, {1030, "da_DK"},
    {1044, "nb_NO"}, {1035, "fi_FI"}, {1045, "pl_PL"}, {1029, "cs_CZ"}, {1038, "hu_HU"}, {1046, "pt_BR"},
    {2070, "pt_PT"}, {1049, "ru_RU"}, {1041, "ja_JP"}, {2052, "zh_CN"}, {1042, "ko_KR"}, {1055, "tr_TR"},
    {1032, "el_GR"},
}};

std::optional<std::pair<int, QLocale>> localeFor(const QString& id)
{
    if (id.isEmpty()) {
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        for (const auto& [lcid, name] : Lcids) {
            if (locale.name() == QLatin1String(name))
                return std::pair{lcid, locale};
        }
        return std::pair{1033, locale};
    }
    bool isNumber = false;
    const int number = id.toInt(&isNumber);
    QString wanted = id.trimmed().toLower().replace(u'-', u'_');
    for (const auto& [lcid, name] : Lcids) {
        const QString candidate = QString::fromLatin1(name).toLower();
        if (isNumber ? lcid == number : (candidate == wanted || candidate.startsWith(wanted + u'_')))
            return std::pair{lcid, QLocale(QString::fromLatin1(name))};
    }
    return std::nullopt;
}

// The parts of the date and time formats the runtime formats with, in QLocale's pattern letters.
QString withFullYear(QString format)
{
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

class VbHost : public QObject
{
    Q_OBJECT
public:
    explicit VbHost(QJSEngine& engine)
        : QObject(&engine)
        , m_engine(engine)
    {}

    // kind: 0 a program, 1 an expression, 2 statements run in a procedure.
    Q_INVOKABLE QJSValue translate(const QString& source, int kind, const QStringList& procedures)
    {
        const VbSource what = kind == 1 ? VbSource::Expression : kind == 2 ? VbSource::Statements : VbSource::Program;
        const VbTranslation t = translateVbScript(source, what, procedures);
        QJSValue result = m_engine.newObject();
        result.setProperty(QStringLiteral("code"), t.code);
        if (!t.error.isEmpty()) {
            result.setProperty(QStringLiteral("error"), QStringLiteral("%1 (line %2)").arg(t.error).arg(t.errorLine));
            result.setProperty(QStringLiteral("number"), t.errorNumber);
        }
        return result;
    }

    Q_INVOKABLE QJSValue localeInfo(const QString& id)
    {
        const auto found = localeFor(id);
        if (!found)
            return QJSValue(false);
        const auto& [lcid, locale] = *found;
        QJSValue info = m_engine.newObject();
        const auto set = [&](const char* name, const QJSValue& value) { info.setProperty(QLatin1String(name), value); };
        set("lcid", lcid);
        set("decimal", locale.decimalPoint());
        set("group", locale.groupSeparator());
        const QString shortDate = withFullYear(locale.dateFormat(QLocale::ShortFormat));
        set("shortDate", shortDate);
        set("longDate", locale.dateFormat(QLocale::LongFormat));
        set("longTime", locale.timeFormat(QLocale::LongFormat).remove(u't').trimmed());
        QString order;
        for (const QChar c : shortDate) {
            const QChar part = c == u'M' ? u'm' : c;
            if ((part == u'd' || part == u'm' || part == u'y') && !order.contains(part))
                order += part;
        }
        set("order", order.size() == 3 ? order : QStringLiteral("mdy"));
        QJSValue months = m_engine.newArray(12);
        QJSValue monthsShort = m_engine.newArray(12);
        for (int i = 1; i <= 12; ++i) {
            months.setProperty(quint32(i - 1), locale.standaloneMonthName(i, QLocale::LongFormat));
            monthsShort.setProperty(quint32(i - 1), locale.standaloneMonthName(i, QLocale::ShortFormat));
        }
        set("months", months);
        set("monthsShort", monthsShort);
        QJSValue days = m_engine.newArray(7);
        QJSValue daysShort = m_engine.newArray(7);
        for (int i = 0; i < 7; ++i) {
            const int qtDay = i == 0 ? 7 : i; // scripts count from Sunday
            days.setProperty(quint32(i), locale.dayName(qtDay, QLocale::LongFormat));
            daysShort.setProperty(quint32(i), locale.dayName(qtDay, QLocale::ShortFormat));
        }
        set("days", days);
        set("daysShort", daysShort);
        set("am", locale.amText());
        set("pm", locale.pmText());
        set("digits", 2);
        set("currency", locale.currencySymbol());
        set("currencyBefore", locale.toCurrencyString(1.0).startsWith(locale.currencySymbol()));
        set("currencyDigits", 2);
        set("firstDay", int(locale.firstDayOfWeek()) % 7 + 1);
        return info;
    }

private:
    QJSEngine& m_engine;
};

} // namespace

QString installVbRuntime(QJSEngine& engine)
{
    engine.globalObject().setProperty(QStringLiteral("$host"), engine.newQObject(new VbHost(engine)));
    // The runtime's names are the closure's own and only copied to the global scope: the engine
    // looks up global names slowly, and the runtime calls its own functions all the time.
    const QString source = QString::fromUtf8(VbRuntimeScript);
    QStringList exports;
    static const QRegularExpression topLevelName(QStringLiteral("^(?:function|var) (\\$\\w+)"),
                                                 QRegularExpression::MultilineOption);
    for (auto it = topLevelName.globalMatch(source); it.hasNext();) {
        const QString name = it.next().captured(1);
        exports << QStringLiteral("this.%1 = %1;").arg(name);
    }
    const QJSValue result = engine.evaluate(QStringLiteral("(function () {") + source + exports.join(QString()) +
                                                QStringLiteral("}).call(this);"),
                                            QStringLiteral("vbscript-runtime"));
    engine.globalObject().deleteProperty(QStringLiteral("$host"));
    if (result.isError())
        return result.toString() +
               QStringLiteral(" (line %1)").arg(result.property(QStringLiteral("lineNumber")).toInt());
    return {};
}

QString vbSyntaxError(const VbTranslation& translation, const QString& file, int firstLine)
{
    return QStringLiteral("VBScript syntax error %1: %2 (%3, line %4)")
        .arg(translation.errorNumber)
        .arg(translation.error, QFileInfo(file).fileName())
        .arg(firstLine + translation.errorLine - 1);
}

#include "VbRuntime.moc"
