#include "platform/RegHive.h"

#include <QStringConverter>
#include <QStringList>

#include <algorithm>

namespace {

const QStringList KnownRoots = {
    QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("HKEY_CURRENT_USER"),   QStringLiteral("HKEY_CLASSES_ROOT"),
    QStringLiteral("HKEY_USERS"),         QStringLiteral("HKEY_CURRENT_CONFIG"),
};

QStringList keyComponents(const QString& path)
{
    return path.split(u'\\', Qt::SkipEmptyParts);
}

bool sameKey(const QStringList& a, const QStringList& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const QString& x, const QString& y) {
               return x.compare(y, Qt::CaseInsensitive) == 0;
           });
}

bool isAtOrBelow(const QStringList& key, const QStringList& ancestor)
{
    return key.size() >= ancestor.size() && sameKey(key.mid(0, ancestor.size()), ancestor);
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

std::optional<std::uint32_t> parseHexNumber(QStringView text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint32_t number = 0;
    for (const QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        number = number * 16 + std::uint32_t(digit);
    }
    return number;
}

QString quoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

// Reads a quoted text starting at pos (on the opening quote), with the \\ and \" escapes.
// On success pos is left just past the closing quote.
std::optional<QString> readQuoted(const QString& line, qsizetype& pos, QString& problem)
{
    QString text;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'"') {
            pos = i + 1;
            return text;
        }
        if (c == u'\\') {
            if (i + 1 < line.size() && (line.at(i + 1) == u'\\' || line.at(i + 1) == u'"')) {
                text += line.at(++i);
                continue;
            }
            problem = QStringLiteral("only \\\\ and \\\" may follow a backslash in a quoted text");
            return std::nullopt;
        }
        text += c;
    }
    problem = QStringLiteral("quoted text without its closing quote");
    return std::nullopt;
}

std::optional<QByteArray> parseHexBytes(const QString& text, QString& problem)
{
    QByteArray bytes;
    QStringList items = text.split(u',');
    // regedit ends every line but the last with a comma, so a trailing one is harmless.
    if (items.size() > 1 && items.last().trimmed().isEmpty())
        items.removeLast();
    if (items.size() == 1 && items.first().trimmed().isEmpty())
        return bytes;
    for (const QString& item : std::as_const(items)) {
        const auto byte = parseHexNumber(item.trimmed(), 2);
        if (!byte) {
            problem = QStringLiteral("\"%1\" is not a hexadecimal byte").arg(item.trimmed());
            return std::nullopt;
        }
        bytes.append(char(*byte));
    }
    return bytes;
}

// Wrapped as regedit does: lines of at most 80 characters, continued after a comma with a
// backslash. column is where the data starts on its line.
QString hexData(const QString& prefix, const QByteArray& bytes, qsizetype column)
{
    QString out = prefix;
    column += prefix.size();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += u',';
            ++column;
            // Room for the next byte, its comma and a backslash.
            if (column + 4 > 80) {
                out += QStringLiteral("\\\n  ");
                column = 2;
            }
        }
        out += QStringLiteral("%1").arg(quint8(bytes.at(i)), 2, 16, QLatin1Char('0'));
        column += 2;
    }
    return out;
}

QString serializeData(const RegHive::Data& data, qsizetype column)
{
    if (data.type == RegHive::TypeDWord && data.bytes.size() == 4)
        return QStringLiteral("dword:%1").arg(*data.dword(), 8, 16, QLatin1Char('0'));
    if (data.type == RegHive::TypeString) {
        // Only text that reads back to the same bytes may be quoted; the file is UTF-8, which has no
        // lone surrogates.
        const QString text = data.text();
        if (RegHive::Data::fromText(text) == data && text.isValidUtf16() && !text.contains(u'\n') &&
            !text.contains(u'\r'))
            return quoted(text);
    }
    if (data.type == RegHive::TypeBinary)
        return hexData(QStringLiteral("hex:"), data.bytes, column);
    return hexData(QStringLiteral("hex(%1):").arg(data.type, 0, 16), data.bytes, column);
}

class Parser
{
public:
    explicit Parser(const QString& text)
        : m_lines(text.split(u'\n'))
    {
        for (QString& line : m_lines) {
            if (line.endsWith(u'\r'))
                line.chop(1);
        }
    }

    std::optional<RegHive::ParseError> run(std::vector<RegHive::Section>& sections)
    {
        bool headerSeen = false;
        for (m_index = 0; m_index < m_lines.size(); ++m_index) {
            const QString line = m_lines.at(m_index).trimmed();
            if (line.isEmpty())
                continue;
            if (!headerSeen) {
                if (line != RegHive::Header)
                    return error(QStringLiteral("the file does not begin with \"%1\"").arg(RegHive::Header));
                headerSeen = true;
                continue;
            }
            if (line.startsWith(u';'))
                continue;
            std::optional<QString> problem;
            if (line.startsWith(u'['))
                problem = readSection(line, sections);
            else if (sections.empty())
                problem = QStringLiteral("a value before the first [key]");
            else
                problem = readValue(line, sections.back());
            if (problem)
                return error(*problem);
        }
        if (!headerSeen)
            return RegHive::ParseError{1, QStringLiteral("the file does not begin with \"%1\"").arg(RegHive::Header)};
        return std::nullopt;
    }

private:
    RegHive::ParseError error(const QString& message) const { return {int(m_index) + 1, message}; }

    std::optional<QString> readSection(const QString& line, std::vector<RegHive::Section>& sections)
    {
        if (!line.endsWith(u']'))
            return QStringLiteral("a key line must end with \"]\"");
        RegHive::Section section;
        QString path = line.mid(1, line.size() - 2);
        if (path.startsWith(u'-')) {
            section.deletion = true;
            path.remove(0, 1);
        }
        const QStringList parts = path.split(u'\\');
        if (std::any_of(parts.begin(), parts.end(), [](const QString& part) { return part.isEmpty(); }))
            return QStringLiteral("the key path \"%1\" has an empty part").arg(path);
        if (!KnownRoots.contains(parts.first(), Qt::CaseInsensitive))
            return QStringLiteral("\"%1\" is not a registry root key").arg(parts.first());
        section.path = path;
        sections.push_back(std::move(section));
        return std::nullopt;
    }

    std::optional<QString> readValue(const QString& line, RegHive::Section& section)
    {
        RegHive::Entry entry;
        qsizetype pos = 0;
        QString problem;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else if (line.startsWith(u'"')) {
            const auto name = readQuoted(line, pos, problem);
            if (!name)
                return problem;
            entry.name = *name;
        } else {
            return QStringLiteral("a value line must begin with a quoted name or \"@\"");
        }
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        if (pos >= line.size() || line.at(pos) != u'=')
            return QStringLiteral("\"=\" expected after the value name");
        QString rest = line.mid(pos + 1).trimmed();

        if (rest == u'-') {
            entry.deletion = true;
        } else if (rest.startsWith(u'"')) {
            qsizetype end = 0;
            const auto text = readQuoted(rest, end, problem);
            if (!text)
                return problem;
            if (!rest.mid(end).trimmed().isEmpty())
                return QStringLiteral("unexpected text after the closing quote");
            entry.data = RegHive::Data::fromText(*text);
        } else if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const auto number = parseHexNumber(QStringView(rest).mid(6).trimmed(), 8);
            if (!number)
                return QStringLiteral("dword: needs one to eight hexadecimal digits");
            entry.data = RegHive::Data::fromDWord(*number);
        } else if (rest.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            auto data = readHexData(rest, problem);
            if (!data)
                return problem;
            entry.data = *std::move(data);
        } else {
            return QStringLiteral("the value data must be a quoted text, dword:, hex: or hex(type):");
        }
        section.entries.push_back(std::move(entry));
        return std::nullopt;
    }

    // "hex:…" or "hex(type):…", continued on the following lines while a line ends in a backslash.
    std::optional<RegHive::Data> readHexData(const QString& rest, QString& problem)
    {
        std::uint32_t type = RegHive::TypeBinary;
        qsizetype dataStart = 0;
        if (rest.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            dataStart = 4;
        } else {
            const qsizetype close = rest.indexOf(QLatin1String("):"));
            const auto number = rest.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) && close > 4
                                    ? parseHexNumber(QStringView(rest).mid(4, close - 4), 8)
                                    : std::nullopt;
            if (!number) {
                problem = QStringLiteral("hex data must begin with \"hex:\" or \"hex(type):\"");
                return std::nullopt;
            }
            type = *number;
            dataStart = close + 2;
        }
        QString text = rest.mid(dataStart);
        while (text.endsWith(u'\\')) {
            text.chop(1);
            if (m_index + 1 >= m_lines.size() || m_lines.at(m_index + 1).trimmed().isEmpty()) {
                problem = QStringLiteral("the hex data is continued, but no line of it follows");
                return std::nullopt;
            }
            text += m_lines.at(++m_index).trimmed();
        }
        auto bytes = parseHexBytes(text, problem);
        if (!bytes)
            return std::nullopt;
        return RegHive::Data{type, *std::move(bytes)};
    }

    QStringList m_lines;
    qsizetype m_index = 0;
};

} // namespace

RegHive::Data RegHive::Data::fromText(const QString& text, std::uint32_t type)
{
    QByteArray bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    bytes.append(2, '\0');
    return {type, bytes};
}

RegHive::Data RegHive::Data::fromDWord(std::uint32_t number)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((number >> (8 * i)) & 0xff);
    return {TypeDWord, bytes};
}

QString RegHive::Data::text() const
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = char16_t(quint8(bytes.at(i)) | (quint8(bytes.at(i + 1)) << 8));
        if (unit == 0)
            break;
        text += QChar(unit);
    }
    return text;
}

std::optional<std::uint32_t> RegHive::Data::dword() const
{
    if (type != TypeDWord || bytes.size() != 4)
        return std::nullopt;
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | quint8(bytes.at(i));
    return number;
}

RegHiveParse RegHive::parse(const QByteArray& content)
{
    const auto encoding = QStringConverter::encodingForData(content).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    const QString text = decoder(content);
    // A UTF-16 decoder passes lone surrogates through; no UTF-8 could write them back.
    if (decoder.hasError() || !text.isValidUtf16())
        return {std::nullopt, {0, QStringLiteral("the file is not valid UTF-8 or UTF-16 text")}};
    RegHive hive;
    Parser parser(text);
    if (auto problem = parser.run(hive.m_sections))
        return {std::nullopt, *std::move(problem)};
    return {std::move(hive), {}};
}

QByteArray RegHive::serialize() const
{
    QString out = Header + u'\n';
    for (const Section& section : m_sections) {
        out += u'\n';
        out += (section.deletion ? QStringLiteral("[-") : QStringLiteral("[")) + section.path + QStringLiteral("]\n");
        for (const Entry& entry : section.entries) {
            const QString name = (entry.name.isEmpty() ? QStringLiteral("@") : quoted(entry.name)) + u'=';
            out += name;
            out += entry.deletion ? QStringLiteral("-") : serializeData(entry.data, name.size());
            out += u'\n';
        }
    }
    return out.toUtf8();
}

bool RegHive::hasKey(const QString& path) const
{
    const QStringList key = keyComponents(path);
    return std::any_of(m_sections.begin(), m_sections.end(), [&](const Section& section) {
        return !section.deletion && isAtOrBelow(keyComponents(section.path), key);
    });
}

std::vector<RegHive::Entry> RegHive::values(const QString& path) const
{
    const QStringList key = keyComponents(path);
    std::vector<Entry> result;
    for (const Section& section : m_sections) {
        if (section.deletion || !sameKey(keyComponents(section.path), key))
            continue;
        for (const Entry& entry : section.entries) {
            if (entry.deletion)
                continue;
            const auto known = std::find_if(result.begin(), result.end(),
                                            [&](const Entry& seen) { return sameName(seen.name, entry.name); });
            if (known != result.end())
                known->data = entry.data;
            else
                result.push_back(entry);
        }
    }
    return result;
}

void RegHive::createKey(const QString& path)
{
    if (!hasKey(path))
        m_sections.push_back({path, false, {}});
}

void RegHive::setValue(const QString& path, const QString& name, const Data& data)
{
    const QStringList key = keyComponents(path);
    Section* last = nullptr;
    bool replaced = false;
    for (Section& section : m_sections) {
        if (section.deletion || !sameKey(keyComponents(section.path), key))
            continue;
        last = &section;
        for (Entry& entry : section.entries) {
            if (!entry.deletion && sameName(entry.name, name)) {
                entry.data = data;
                replaced = true;
            }
        }
    }
    if (replaced)
        return;
    if (!last) {
        m_sections.push_back({path, false, {}});
        last = &m_sections.back();
    }
    last->entries.push_back({name, false, data});
}
