#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

struct RegHiveParse;

/**
 * The content of a `.reg` file ("Windows Registry Editor Version 5.00"): its keys and values in
 * file order. Parsing and writing are pure, so the format is tested by tables. Deletions
 * ("[-key]" and "name"=-) are kept so that a rewrite loses nothing, but lookups never see them.
 * Key paths ("HKEY_CURRENT_USER\Software\...") and value names compare ignoring case.
 */
class RegHive
{
public:
    static constexpr std::uint32_t TypeString = 1;
    static constexpr std::uint32_t TypeExpandString = 2;
    static constexpr std::uint32_t TypeBinary = 3;
    static constexpr std::uint32_t TypeDWord = 4;

    // A value's data as the registry stores it: strings are UTF-16LE with a terminating NUL,
    // numbers little-endian.
    struct Data
    {
        std::uint32_t type = TypeString;
        QByteArray bytes;

        static Data fromText(const QString& text, std::uint32_t type = TypeString);
        static Data fromDWord(std::uint32_t number);
        // The text of a string type, up to its first NUL.
        QString text() const;
        // The number of a four-byte DWord; nothing for any other data.
        std::optional<std::uint32_t> dword() const;

        bool operator==(const Data&) const = default;
    };

    struct Entry
    {
        QString name; // "" for the default value, written "@"
        bool deletion = false;
        Data data;

        bool operator==(const Entry&) const = default;
    };

    struct Section
    {
        QString path; // as written, without the brackets and the deletion dash
        bool deletion = false;
        std::vector<Entry> entries;

        bool operator==(const Section&) const = default;
    };

    struct ParseError
    {
        int line = 0; // 1-based
        QString message;
    };

    static inline const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");

    // The hive, or the first syntax error. UTF-8 without a byte-order mark; a UTF-8 or UTF-16 mark
    // is honoured.
    static RegHiveParse parse(const QByteArray& content);

    // UTF-8, LF line ends, as regedit lays out sections and long hex data.
    QByteArray serialize() const;

    const std::vector<Section>& sections() const { return m_sections; }

    // True when the key has a section of its own or below it: a key implies its parents.
    bool hasKey(const QString& path) const;

    // The key's values as importing the file would leave them: a name repeated in the key keeps
    // the place of its first appearance and the data of its last.
    std::vector<Entry> values(const QString& path) const;

    // Adds an empty section for the key unless it already exists.
    void createKey(const QString& path);

    // Replaces the data of every appearance of the name in the key, or appends the value to the
    // key's last section (a new one at the end when the key has none).
    void setValue(const QString& path, const QString& name, const Data& data);

private:
    std::vector<Section> m_sections;
};

// What parsing a `.reg` file gave: the hive, or why there is none.
struct RegHiveParse
{
    std::optional<RegHive> hive;
    RegHive::ParseError error; // when hive is empty
};
