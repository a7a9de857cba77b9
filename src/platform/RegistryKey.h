#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

enum class RegistryRoot
{
    CurrentUser,  // HKEY_CURRENT_USER: the user's own hive, readable and writable
    LocalMachine, // HKEY_LOCAL_MACHINE: the machine-wide hive, read only
};

enum class RegistryAccess
{
    Read,
    Write, // creates the key when it does not exist
};

enum class RegistryValueType
{
    String,
    ExpandString, // stored with environment references, which are never expanded here
    DWord,
    Other,
};

struct RegistryValue
{
    RegistryValueType type = RegistryValueType::String;
    QString text;             // String and ExpandString
    std::uint32_t number = 0; // DWord
    QByteArray data;          // Other: the bytes as stored
};

/**
 * An open registry key; closing it is destroying it. Key paths and value names compare ignoring
 * case. Implemented over `.reg` hive files on Linux; the interface is kept to what the Windows
 * registry functions offer so that an implementation over them fits.
 */
class RegistryKey
{
public:
    virtual ~RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The key below root, or nullptr when it cannot be opened (absent for reading; for writing,
    // a read-only root or a hive that cannot be read or written).
    static std::unique_ptr<RegistryKey> open(RegistryRoot root, const QString& path, RegistryAccess access);

    // A key below this one.
    virtual std::unique_ptr<RegistryKey> openSubKey(const QString& path, RegistryAccess access) const = 0;

    // Nothing when the value does not exist; "" names the default value.
    virtual std::optional<RegistryValue> value(const QString& name) const = 0;

    // The text of a String or ExpandString value; nothing when the value is missing or of
    // another type.
    std::optional<QString> text(const QString& name) const
    {
        std::optional<RegistryValue> read = value(name);
        if (!read || (read->type != RegistryValueType::String && read->type != RegistryValueType::ExpandString))
            return std::nullopt;
        return std::move(read->text);
    }

    // Where the key is, for messages: its full path and the store that holds it.
    virtual QString location() const = 0;

    // The names of the key's values, in the order the registry enumerates them.
    virtual QStringList valueNames() const = 0;

    // False when the value could not be stored (key opened for reading, hive not writable).
    virtual bool setString(const QString& name, const QString& text) = 0;
    virtual bool setDWord(const QString& name, std::uint32_t number) = 0;

protected:
    RegistryKey() = default;
};
