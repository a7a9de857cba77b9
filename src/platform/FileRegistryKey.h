#pragma once

#include "platform/RegHive.h"
#include "platform/RegistryKey.h"

/**
 * A registry key kept in a `.reg` hive file: HKEY_CURRENT_USER in
 * $XDG_CONFIG_HOME/corvane/registry.reg, HKEY_LOCAL_MACHINE in corvane/registry.reg of the first
 * $XDG_CONFIG_DIRS folder that has one (read only). Reads see the hive as it was when the key was
 * opened; each write reads the file afresh and replaces it atomically, so every other key and
 * value survives. A hive that cannot be parsed is reported on standard error once, read as empty
 * and never overwritten.
 */
class FileRegistryKey : public RegistryKey
{
public:
    // The hive file of a root; empty when the machine-wide hive is found in no folder.
    static QString hivePath(RegistryRoot root);

    static std::unique_ptr<RegistryKey> open(RegistryRoot root, const QString& path, RegistryAccess access);

    std::unique_ptr<RegistryKey> openSubKey(const QString& path, RegistryAccess access) const override;
    std::optional<RegistryValue> value(const QString& name) const override;
    QStringList valueNames() const override;
    QString location() const override;
    bool setString(const QString& name, const QString& text) override;
    bool setDWord(const QString& name, std::uint32_t number) override;

private:
    FileRegistryKey(RegistryRoot root, QString hiveFile, QString keyPath, RegistryAccess access,
                    std::vector<RegHive::Entry> values);

    bool store(const QString& name, const RegHive::Data& data);

    const RegistryRoot m_root;
    const QString m_hiveFile;
    const QString m_keyPath; // below the root, without the root's name
    const RegistryAccess m_access;
    std::vector<RegHive::Entry> m_values;
};
