#include "text/QmCatalogue.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr std::array<quint8, 16> Magic = {0x3c, 0xb8, 0x64, 0x18, 0xca, 0xef, 0x9c, 0x95,
                                          0xcd, 0x21, 0x1c, 0xbf, 0x60, 0xa1, 0xbd, 0xdd};

enum Block : quint8
{
    bkContexts = 0x2f,
    bkHashes = 0x42,
    bkMessages = 0x69,
    bkDependencies = 0x96,
};

// The fields of a message that carry data; the end mark and unknown fields stop the reader.
enum Field : quint8
{
    fdTranslation = 3,
    fdObsolete1 = 5,
    fdSourceText = 6,
    fdContext = 7,
    fdComment = 8,
};

quint8 read8(QByteArrayView data, qsizetype at)
{
    return quint8(data[at]);
}

quint32 read32(QByteArrayView data, qsizetype at)
{
    return qFromBigEndian<quint32>(data.data() + at);
}

struct Step
{
    enum Kind
    {
        Next,  // the reader goes on with the field at `next`
        Stops, // the reader stops here without reading further
        Fault, // the reader would read outside the block
    } kind;
    qsizetype next = 0;
};

// What QTranslator's reader does with the field at `at` of the message block.
Step readField(QByteArrayView messages, qsizetype at)
{
    const qsizetype size = messages.size();
    if (at >= size)
        return {Step::Stops}; // past the block it finds no field
    const quint8 field = read8(messages, at);
    const qsizetype body = at + 5;
    switch (field) {
    case fdObsolete1:
        return body <= size ? Step{Step::Next, body} : Step{Step::Fault};
    case fdTranslation:
    case fdSourceText:
    case fdContext:
    case fdComment: {
        if (body > size)
            return {Step::Fault};
        const qint64 length = read32(messages, at + 1);
        if (field == fdTranslation && (length & 1))
            return {Step::Stops}; // a null translation is stored this way
        // The first byte of a comment is looked at even when the comment is empty.
        const qint64 needed = field == fdComment ? std::max<qint64>(length, 1) : length;
        return needed <= size - body ? Step{Step::Next, qsizetype(body + length)} : Step{Step::Fault};
    }
    default:
        return {Step::Stops}; // the end mark, or a field the reader does not know
    }
}

bool isSafeHashTable(QByteArrayView hashes, QByteArrayView messages)
{
    if (hashes.size() % 8 != 0)
        return false;
    // Fields only lead forward, so walks end; the verdicts of offsets already walked are kept,
    // which keeps many offsets into one message cheap.
    enum : char
    {
        Unknown,
        Safe,
        Unsafe
    };
    std::vector<char> verdict(std::size_t(messages.size()) + 1, Unknown);
    std::vector<qsizetype> walked;
    for (qsizetype entry = 0; entry < hashes.size(); entry += 8) {
        qsizetype at = std::min<qsizetype>(read32(hashes, entry + 4), messages.size());
        walked.clear();
        char result = Unknown;
        while (result == Unknown) {
            if (verdict[std::size_t(at)] != Unknown) {
                result = verdict[std::size_t(at)];
                continue;
            }
            walked.push_back(at);
            const Step step = readField(messages, at);
            if (step.kind == Step::Next)
                at = step.next;
            else
                result = step.kind == Step::Stops ? Safe : Unsafe;
        }
        for (const qsizetype offset : walked)
            verdict[std::size_t(offset)] = result;
        if (result == Unsafe)
            return false;
    }
    return true;
}

} // namespace

std::optional<QByteArray> loadableQmCatalogue(QByteArrayView data)
{
    const qsizetype size = data.size();
    if (size < qsizetype(Magic.size()) ||
        !std::equal(Magic.begin(), Magic.end(), data.begin(), [](quint8 m, char d) { return m == quint8(d); }))
        return std::nullopt;

    // Walk the blocks exactly as QTranslator does, so that the blocks checked are the ones it uses
    // (a later block of a kind replaces an earlier one).
    QByteArray loadable = data.first(qsizetype(Magic.size())).toByteArray();
    QByteArrayView hashes, messages;
    qsizetype at = qsizetype(Magic.size());
    while (at < size - 5) {
        const quint8 tag = read8(data, at);
        const quint32 length = read32(data, at + 1);
        if (tag == 0 || length == 0)
            break;
        if (length > quint64(size - at - 5))
            return std::nullopt;
        const QByteArrayView block = data.sliced(at + 5, length);
        switch (tag) {
        case bkHashes:
            hashes = block;
            break;
        case bkMessages:
            messages = block;
            break;
        case bkDependencies:
            return std::nullopt;
        default:
            break; // language and plural rules: QTranslator checks those itself
        }
        if (tag != bkContexts)
            loadable += data.sliced(at, 5 + length);
        at += 5 + length;
    }
    if (!isSafeHashTable(hashes, messages))
        return std::nullopt;
    return loadable;
}
