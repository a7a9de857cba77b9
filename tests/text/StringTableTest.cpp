#include "text/StringTable.h"
#include "text/TextIds.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <ostream>

namespace {

const QString FixtureQm = QStringLiteral(TABULON_TEXT_FIXTURE_QM);
const QString GermanSourceRequired = QStringLiteral("Eine Surmex- oder Job-Datei muss angegeben werden");
const QString OwnSourceRequired = QStringLiteral("A Surmex or Job file must be specified");

QByteArray fixtureBytes()
{
    QFile file(FixtureQm);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each test starts and ends with the program's own table.
class StringTableTest : public ::testing::Test
{
protected:
    void SetUp() override { FreeResourceLibrary(); }
    void TearDown() override { FreeResourceLibrary(); }

    TestEnvironment m_env;
};

TEST_F(StringTableTest, OwnTable)
{
    const struct
    {
        int id;
        const char* text;
    } cases[] = {
        {10000, "Surmex files|*.smx|Job files|*.job|Viamex files|*.vmx|XML files|*.xml|All files|*.*"},
        {10004, "A Surmex or Job file must be specified"},
        {10010, "Tabulon"},
        {10022, "The entered value is outside the valid range %*.*f to %*.*f"},
        {10026, "Tabulon Help"},
        {10035, "This topic describes how to:"},
        {10065, "Cancel"},
        {10073, "Select tunnel profile to export:"},
        {9999, ""},
        {TextId::Last + 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadLocalizedString(c.id), QString::fromUtf8(c.text)) << c.id;

    qsizetype longest = 0;
    for (int id = TextId::First; id <= TextId::Last; ++id) {
        const QString text = LoadLocalizedString(id);
        EXPECT_FALSE(text.isEmpty()) << id;
        longest = std::max(longest, text.size());
    }
    EXPECT_LT(longest, 1024);
}

TEST_F(StringTableTest, SatelliteOverridesAndFallsBack)
{
    const struct
    {
        int id;
        QString text;
    } cases[] = {
        {10004, GermanSourceRequired},
        {10017, QStringLiteral("Schließen")},
        {10065, QStringLiteral("Cancel")},  // held empty by the satellite
        {10010, QStringLiteral("Tabulon")}, // not in the satellite
        {9999, QString()},
        {10029, QStringLiteral("0123456789").repeated(110).left(1023)},
        {10030, QString(1022, QLatin1Char('x'))}, // the surrogate pair at 1023 is dropped whole
    };
    for (const QString& satellite : {FixtureQm, QStringLiteral(TABULON_TEXT_FIXTURE_COMPRESSED_QM)}) {
        SCOPED_TRACE(satellite.toStdString());
        ASSERT_TRUE(LoadResourceLibraryFrom(satellite));
        for (const auto& c : cases)
            EXPECT_EQ(LoadLocalizedString(c.id), c.text) << c.id;

        FreeResourceLibrary();
        EXPECT_EQ(LoadLocalizedString(10004), OwnSourceRequired);
        EXPECT_EQ(LoadLocalizedString(10017), QStringLiteral("Close"));
    }
}

TEST_F(StringTableTest, SearchFolders)
{
    const QString dataHome = m_env.root() + QStringLiteral("/data-home");
    const QStringList expected = {QCoreApplication::applicationDirPath(), dataHome + QStringLiteral("/tabulon"),
                                  m_env.root() + QStringLiteral("/data/tabulon")};
    EXPECT_EQ(SatelliteSearchFolders(), expected);

    // The program's own folder has no satellite, or every other test here would see it.
    LoadResourceLibrary();
    EXPECT_EQ(LoadLocalizedString(10004), OwnSourceRequired);
}

TEST_F(StringTableTest, LoadsFromDataFolders)
{
    const QByteArray good = fixtureBytes();
    ASSERT_FALSE(good.isEmpty());
    const QByteArray corrupt = "not a catalogue";
    const QString inDataHome = QStringLiteral("data-home/tabulon/TabulonR.qm");
    const QString inDataDirs = QStringLiteral("data/tabulon/TabulonR.qm");

    const struct
    {
        const char* name;
        QByteArray dataHome; // empty: no file there
        QByteArray dataDirs;
        bool loaded;
    } cases[] = {
        {"data dirs", {}, good, true},
        {"data home", good, {}, true},
        {"corrupt in data home, sound in data dirs", corrupt, good, true},
        {"corrupt only", {}, corrupt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnvironment env;
        if (!c.dataHome.isEmpty())
            env.writeFile(inDataHome, c.dataHome);
        if (!c.dataDirs.isEmpty())
            env.writeFile(inDataDirs, c.dataDirs);

        LoadResourceLibrary();
        EXPECT_EQ(LoadLocalizedString(10004), c.loaded ? GermanSourceRequired : OwnSourceRequired);
        FreeResourceLibrary();
    }
}

TEST_F(StringTableTest, UnloadableSatelliteIsIgnored)
{
    const QByteArray good = fixtureBytes();
    ASSERT_FALSE(good.isEmpty());
    const QString folder = m_env.root() + QStringLiteral("/folder.qm");
    QDir().mkpath(folder);
    const QString pipe = m_env.root() + QStringLiteral("/pipe.qm");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    const struct
    {
        const char* name;
        QString path;
    } cases[] = {
        {"missing", m_env.root() + QStringLiteral("/missing.qm")},
        {"a folder", folder},
        {"a pipe nobody writes to", pipe},
        {"a device without end", QStringLiteral("/dev/zero")},
        {"empty", m_env.writeFile(QStringLiteral("empty.qm"), {})},
        {"garbage", m_env.writeFile(QStringLiteral("garbage.qm"), QByteArray(4096, '\x5a'))},
        {"header only", m_env.writeFile(QStringLiteral("header.qm"), good.left(16))},
        {"truncated", m_env.writeFile(QStringLiteral("half.qm"), good.left(good.size() / 2))},
        {"last byte missing", m_env.writeFile(QStringLiteral("short.qm"), good.chopped(1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FreeResourceLibrary();
        EXPECT_FALSE(LoadResourceLibraryFrom(c.path));
        EXPECT_EQ(LoadLocalizedString(10004), OwnSourceRequired);

        // A failed load leaves a loaded satellite in place.
        ASSERT_TRUE(LoadResourceLibraryFrom(FixtureQm));
        EXPECT_FALSE(LoadResourceLibraryFrom(c.path));
        EXPECT_EQ(LoadLocalizedString(10004), GermanSourceRequired);
    }
}

} // namespace
