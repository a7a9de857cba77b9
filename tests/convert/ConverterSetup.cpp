#include "ConverterSetup.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

namespace {
const char* const LogVariable = "TABULON_TEST_CONVERTER_LOG";
}

ConverterSetup::ConverterSetup(const TestEnvironment& env)
    : m_env(env)
    , m_logPath(env.root() + QStringLiteral("/converter.log"))
    , m_previousLog(qgetenv(LogVariable))
{
    qputenv(LogVariable, QFile::encodeName(m_logPath));
}

ConverterSetup::~ConverterSetup()
{
    if (m_previousLog.isEmpty())
        qunsetenv(LogVariable);
    else
        qputenv(LogVariable, m_previousLog);
}

QString ConverterSetup::productName(ConverterProduct product)
{
    switch (product) {
    case ConverterProduct::Stakora:
        return QStringLiteral("stakora");
    case ConverterProduct::Pellora:
        return QStringLiteral("pellora");
    case ConverterProduct::Notavia:
        return QStringLiteral("notavia");
    }
    return {};
}

QString ConverterSetup::folder(ConverterProduct product) const
{
    return m_env.root() + QStringLiteral("/converters/") + productName(product);
}

QString ConverterSetup::install(ConverterProduct product, const QString& fileName, Library library) const
{
    QDir().mkpath(folder(product));
    const QString path = folder(product) + u'/' + fileName;
    QFile::remove(path);
    switch (library) {
    case Library::Full:
        QFile::copy(QStringLiteral(TABULON_TEST_CONVERTER), path);
        break;
    case Library::InspectOnly:
        QFile::copy(QStringLiteral(TABULON_TEST_CONVERTER_INSPECT_ONLY), path);
        break;
    case Library::TranslateOnly:
        QFile::copy(QStringLiteral(TABULON_TEST_CONVERTER_TRANSLATE_ONLY), path);
        break;
    case Library::NotALibrary: {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("This is a text file, not a library.\n");
        break;
    }
    }
    return path;
}

void ConverterSetup::registerVersion(ConverterProduct product, const QString& versionName, const QString& fileName)
{
    const QString key = ConverterKeyPath(product);
    setText(key, QStringLiteral("Directory"), folder(product));
    setText(key, QStringLiteral("Language File"), languageFile(product));
    setText(key + QStringLiteral("\\Versions"), versionName, fileName);
}

void ConverterSetup::installAll()
{
    for (const auto product : {ConverterProduct::Stakora, ConverterProduct::Pellora, ConverterProduct::Notavia}) {
        const QString fileName = ConverterBaseName(product) + QStringLiteral("1250.so");
        install(product, fileName);
        registerVersion(product, QStringLiteral("12.50"), fileName);
    }
}

void ConverterSetup::setValue(const QString& keyPath, const QString& name, const RegHive::Data& data)
{
    m_hive.setValue(QStringLiteral("HKEY_LOCAL_MACHINE\\") + keyPath, name, data);
}

void ConverterSetup::setText(const QString& keyPath, const QString& name, const QString& text)
{
    setValue(keyPath, name, RegHive::Data::fromText(text));
}

QString ConverterSetup::languageFile(ConverterProduct product)
{
    return QStringLiteral("/usr/share/fieldsoft/") + productName(product) + QStringLiteral(" english.lng");
}

QString ConverterSetup::hivePath() const
{
    return m_env.configDir() + QStringLiteral("/corvane/registry.reg");
}

void ConverterSetup::writeHive() const
{
    QDir().mkpath(m_env.configDir() + QStringLiteral("/corvane"));
    QFile file(hivePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(m_hive.serialize());
}

QString ConverterSetup::writeJob(const QString& name, ConverterProduct product, int version,
                                 const QStringList& extra) const
{
    QStringList lines{QStringLiteral("TABULON-TEST-JOB"), QStringLiteral("product=") + productName(product),
                      QStringLiteral("version=%1").arg(version)};
    lines += extra;
    return m_env.writeFile(QStringLiteral("jobs/") + name, (lines.join(u'\n') + u'\n').toUtf8());
}

std::vector<QMap<QString, QString>> ConverterSetup::calls() const
{
    std::vector<QMap<QString, QString>> calls;
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        if (fields.first().isEmpty() || fields.first() == u"fault")
            continue;
        QMap<QString, QString> call;
        call[QStringLiteral("call")] = fields.first();
        for (const QString& field : fields.mid(1))
            call[field.section(u'=', 0, 0)] = field.section(u'=', 1);
        calls.push_back(call);
    }
    return calls;
}

QStringList ConverterSetup::faults() const
{
    QStringList faults;
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return faults;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("fault\t"))
            faults << QString::fromUtf8(line.mid(6));
    }
    return faults;
}
