#include "text/QmCatalogue.h"

#include <QFile>
#include <QtEndian>
#include <QTranslator>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>
#include <optional>

namespace {

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A block of the file, or a field of a message: tag, big-endian length, body.
QByteArray tagged(quint8 tag, const QByteArray& body)
{
    return char(tag) + be32(quint32(body.size())) + body;
}

QByteArray catalogue(std::initializer_list<QByteArray> blocks)
{
    QByteArray bytes = QByteArray::fromHex("3cb86418caef9c95cd211cbf60a1bddd");
    for (const QByteArray& block : blocks)
        bytes += block;
    return bytes;
}

QByteArray hashes(std::initializer_list<quint32> offsets)
{
    QByteArray body;
    for (const quint32 offset : offsets)
        body += be32(0x343334) + be32(offset);
    return tagged(0x42, body);
}

QByteArray messages(const QByteArray& body)
{
    return tagged(0x69, body);
}

constexpr quint8 Translation = 3, SourceText = 6, Comment = 8;
const QByteArray End(1, '\x01');
const QByteArray Hallo = QByteArray::fromHex("00480061006c006c006f");
const QByteArray SoundMessage = tagged(Translation, Hallo) + tagged(SourceText, "10004") + End;

QByteArray fixture(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(QmCatalogueTest, Structure)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
        bool loadable;
    } cases[] = {
        {"sound", catalogue({hashes({0}), messages(SoundMessage)}), true},
        {"null translation", catalogue({hashes({0}), messages(char(Translation) + be32(~0u) + End)}), true},
        {"offset past the messages", catalogue({hashes({0, 4096}), messages(SoundMessage)}), true},
        {"no magic", SoundMessage, false},
        {"block longer than the file", catalogue({hashes({0}), char(0x69) + be32(4096) + SoundMessage}), false},
        {"translation beyond the block", catalogue({hashes({0}), messages(char(Translation) + be32(100) + End)}),
         false},
        {"source text beyond the block", catalogue({hashes({0}), messages(char(SourceText) + be32(9) + "10004")}),
         false},
        {"empty comment at the block end", catalogue({hashes({0}), messages(char(Comment) + be32(0))}), false},
        {"field cut short", catalogue({hashes({0}), messages(QByteArray::fromHex("030000"))}), false},
        // The second offset lands inside the translation, on bytes that read as a huge source text.
        {"offset into a bad field",
         catalogue({hashes({0, 6}), messages(tagged(Translation, QByteArray::fromHex("0006ffffff00")) + End)}), false},
        {"hash table with a partial entry", catalogue({tagged(0x42, be32(0) + be32(0) + "ab"), messages(End)}), false},
        {"later block replaces a sound one",
         catalogue({hashes({0}), messages(SoundMessage), messages(char(Translation) + be32(100) + End)}), false},
        {"dependencies", catalogue({tagged(0x96, be32(8) + QByteArray("\0o\0t\0h\0e", 8))}), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loadableQmCatalogue(c.bytes).has_value(), c.loadable) << c.name;

    const QByteArray sound = catalogue({hashes({0}), messages(SoundMessage)});
    QTranslator translator;
    ASSERT_TRUE(translator.load(reinterpret_cast<const uchar*>(sound.constData()), int(sound.size())));
    EXPECT_EQ(translator.translate("", "10004"), QStringLiteral("Hallo"));

    // The context table goes, whatever it holds; so does what QTranslator would not read.
    EXPECT_EQ(loadableQmCatalogue(catalogue({tagged(0x2f, "\xff"), hashes({0}), messages(SoundMessage)})), sound);
    EXPECT_EQ(loadableQmCatalogue(sound + tagged(0, "ignored")), sound);
}

// Holds bytes flush against an unreadable page, so that a read past their end faults at once.
class GuardedBytes
{
public:
    explicit GuardedBytes(qsizetype capacity)
        : m_page(sysconf(_SC_PAGESIZE))
        , m_span((capacity + m_page - 1) / m_page * m_page)
    {
        void* region = mmap(nullptr, m_span + m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_region = region == MAP_FAILED ? nullptr : static_cast<char*>(region);
        if (m_region)
            mprotect(m_region + m_span, m_page, PROT_NONE);
    }
    ~GuardedBytes()
    {
        if (m_region)
            munmap(m_region, m_span + m_page);
    }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    bool isValid() const { return m_region != nullptr; }
    const uchar* place(const QByteArray& bytes)
    {
        char* at = m_region + m_span - bytes.size();
        std::memcpy(at, bytes.constData(), std::size_t(bytes.size()));
        return reinterpret_cast<const uchar*>(at);
    }

private:
    qsizetype m_page;
    qsizetype m_span;
    char* m_region = nullptr;
};

// Every catalogue the check lets through, however damaged, is looked up without a fault.
TEST(QmCatalogueTest, DamagedCataloguesPassedOnAreReadSafely)
{
    for (const char* path : {TABULON_TEXT_FIXTURE_QM, TABULON_TEXT_FIXTURE_COMPRESSED_QM}) {
        SCOPED_TRACE(path);
        const QByteArray sound = fixture(path);
        ASSERT_FALSE(sound.isEmpty());
        ASSERT_TRUE(loadableQmCatalogue(sound));
        GuardedBytes buffer(sound.size());
        ASSERT_TRUE(buffer.isValid());

        int passedOn = 0;
        for (qsizetype at = 0; at < sound.size(); ++at) {
            for (const char value : {'\x00', '\x01', '\x7f', '\x80', '\xff'}) {
                QByteArray damaged = sound;
                damaged[at] = value;
                const std::optional<QByteArray> loadable = loadableQmCatalogue(damaged);
                if (!loadable)
                    continue;
                ++passedOn;
                QTranslator translator;
                if (!translator.load(buffer.place(*loadable), int(loadable->size())))
                    continue;
                for (const char* id : {"9999", "10004", "10017", "10029", "10030", "10065"})
                    (void)translator.translate("", id);
            }
        }
        // Most changes touch text or hash values and leave a readable catalogue.
        EXPECT_GT(passedOn, sound.size());
    }
}

} // namespace
