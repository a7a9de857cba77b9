#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestEnvironment::TestEnvironment()
{
    QDir root(m_dir.path());
    for (const char* sub : {"home", "config", "etc-xdg", "tmp", "data", "data-home"})
        root.mkpath(QString::fromLatin1(sub));
    set("HOME", home());
    set("XDG_CONFIG_HOME", configHome());
    set("XDG_CONFIG_DIRS", configDir());
    set("XDG_DATA_DIRS", m_dir.filePath(QStringLiteral("data")));
    set("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data-home")));
    set("TMPDIR", tempDir());
}

TestEnvironment::~TestEnvironment()
{
    for (const auto& [name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

void TestEnvironment::set(const char* name, const QString& value)
{
    if (!m_saved.contains(name))
        m_saved[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    qputenv(name, value.toLocal8Bit());
}

QString TestEnvironment::home() const
{
    return m_dir.filePath(QStringLiteral("home"));
}

QString TestEnvironment::configHome() const
{
    return m_dir.filePath(QStringLiteral("config"));
}

QString TestEnvironment::configDir() const
{
    return m_dir.filePath(QStringLiteral("etc-xdg"));
}

QString TestEnvironment::tempDir() const
{
    return m_dir.filePath(QStringLiteral("tmp"));
}

QString TestEnvironment::writeFile(const QString& relativePath, const QByteArray& content) const
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content);
    return path;
}

QStringList TestEnvironment::tempFiles() const
{
    return QDir(tempDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}
