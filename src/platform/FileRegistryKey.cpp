#include "platform/FileRegistryKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cstdio>

namespace {

QString rootName(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                              : QStringLiteral("HKEY_CURRENT_USER");
}

QString fullPath(RegistryRoot root, const QString& keyPath)
{
    return keyPath.isEmpty() ? rootName(root) : rootName(root) + u'\\' + keyPath;
}

const QString HiveName = QStringLiteral("corvane/registry.reg");

// A broken hive is read many times in one operation; one report per file and version is enough.
void reportUnparsable(const QString& file, const RegHive::ParseError& error)
{
    static QMutex mutex;
    static QSet<QString> reported;
    const QString key = file + u'@' + QString::number(QFileInfo(file).lastModified().toMSecsSinceEpoch());
    const QMutexLocker lock(&mutex);
    if (reported.contains(key))
        return;
    reported.insert(key);
    const QString where = error.line > 0 ? QStringLiteral("%1:%2").arg(file).arg(error.line) : file;
    std::fprintf(stderr, "%s\n",
                 qUtf8Printable(QStringLiteral("Registry hive %1: %2. The hive is ignored and will not be "
                                               "overwritten.")
                                    .arg(where, error.message)));
}

enum class HiveState
{
    Missing,
    Read,
    Unusable, // unreadable or unparsable: read as empty, never written
};

HiveState loadHive(const QString& file, RegHive& hive)
{
    hive = RegHive();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return HiveState::Missing;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        reportUnparsable(file, {0, in.errorString()});
        return HiveState::Unusable;
    }
    RegHiveParse parsed = RegHive::parse(in.readAll());
    if (!parsed.hive) {
        reportUnparsable(file, parsed.error);
        return HiveState::Unusable;
    }
    hive = *std::move(parsed.hive);
    return HiveState::Read;
}

bool saveHive(const QString& file, const RegHive& hive)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray content = hive.serialize();
    if (out.write(content) != content.size())
        return false;
    return out.commit();
}

QString configHome()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString normalisedKeyPath(const QString& path)
{
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

} // namespace

std::unique_ptr<RegistryKey> RegistryKey::open(RegistryRoot root, const QString& path, RegistryAccess access)
{
    return FileRegistryKey::open(root, path, access);
}

QString FileRegistryKey::hivePath(RegistryRoot root)
{
    if (root == RegistryRoot::CurrentUser)
        return configHome() + u'/' + HiveName;

    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        if (!QDir::isAbsolutePath(dir))
            continue;
        const QString candidate = dir + u'/' + HiveName;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

std::unique_ptr<RegistryKey> FileRegistryKey::open(RegistryRoot root, const QString& path, RegistryAccess access)
{
    const bool write = access == RegistryAccess::Write;
    if (write && root == RegistryRoot::LocalMachine)
        return nullptr;

    const QString file = hivePath(root);
    const QString keyPath = normalisedKeyPath(path);
    const QString full = fullPath(root, keyPath);
    RegHive hive;
    const HiveState state = loadHive(file, hive);
    if (write && state == HiveState::Unusable)
        return nullptr;
    if (!hive.hasKey(full)) {
        if (!write)
            return nullptr;
        hive.createKey(full);
        if (!saveHive(file, hive))
            return nullptr;
    }
    return std::unique_ptr<RegistryKey>(new FileRegistryKey(root, file, keyPath, access, hive.values(full)));
}

FileRegistryKey::FileRegistryKey(RegistryRoot root, QString hiveFile, QString keyPath, RegistryAccess access,
                                 std::vector<RegHive::Entry> values)
    : m_root(root)
    , m_hiveFile(std::move(hiveFile))
    , m_keyPath(std::move(keyPath))
    , m_access(access)
    , m_values(std::move(values))
{}

std::unique_ptr<RegistryKey> FileRegistryKey::openSubKey(const QString& path, RegistryAccess access) const
{
    return open(m_root, m_keyPath + u'\\' + path, access);
}

std::optional<RegistryValue> FileRegistryKey::value(const QString& name) const
{
    const auto found = std::find_if(m_values.begin(), m_values.end(), [&](const RegHive::Entry& entry) {
        return entry.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (found == m_values.end())
        return std::nullopt;

    const RegHive::Data& data = found->data;
    RegistryValue value;
    if (data.type == RegHive::TypeString || data.type == RegHive::TypeExpandString) {
        value.type = data.type == RegHive::TypeString ? RegistryValueType::String : RegistryValueType::ExpandString;
        value.text = data.text();
    } else if (const auto number = data.dword()) {
        value.type = RegistryValueType::DWord;
        value.number = *number;
    } else {
        value.type = RegistryValueType::Other;
        value.data = data.bytes;
    }
    return value;
}

QString FileRegistryKey::location() const
{
    return QStringLiteral("the key %1 in the hive file %2").arg(fullPath(m_root, m_keyPath), m_hiveFile);
}

QStringList FileRegistryKey::valueNames() const
{
    QStringList names;
    for (const RegHive::Entry& entry : m_values)
        names << entry.name;
    return names;
}

bool FileRegistryKey::setString(const QString& name, const QString& text)
{
    return store(name, RegHive::Data::fromText(text));
}

bool FileRegistryKey::setDWord(const QString& name, std::uint32_t number)
{
    return store(name, RegHive::Data::fromDWord(number));
}

bool FileRegistryKey::store(const QString& name, const RegHive::Data& data)
{
    if (m_access != RegistryAccess::Write)
        return false;
    RegHive hive;
    if (loadHive(m_hiveFile, hive) == HiveState::Unusable)
        return false;
    const QString full = fullPath(m_root, m_keyPath);
    hive.setValue(full, name, data);
    if (!saveHive(m_hiveFile, hive))
        return false;
    m_values = hive.values(full);
    return true;
}
