#include "ConverterSetup.h"
#include "TestEnvironment.h"
#include "TestPaths.h"

#include "convert/ConverterDiscovery.h"
#include "platform/Failure.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Versions = std::vector<std::pair<QString, QString>>; // name, library file name

class ConverterDiscoveryTest : public ::testing::Test
{
protected:
    TestEnvironment env;
    ConverterSetup setup{env};

    QString stakoraFolder() const { return setup.folder(ConverterProduct::Stakora) + u'/'; }

    void registerStakora(const Versions& versions, const QStringList& files)
    {
        for (const auto& [name, file] : versions)
            setup.registerVersion(ConverterProduct::Stakora, name, file);
        for (const QString& file : files)
            setup.install(ConverterProduct::Stakora, file);
        QDir().mkpath(setup.folder(ConverterProduct::Stakora));
        setup.writeHive();
    }
};

TEST_F(ConverterDiscoveryTest, KeyPathsAndBaseNamesOfTheProducts)
{
    EXPECT_EQ(ConverterKeyPath(ConverterProduct::Stakora),
              QStringLiteral("SOFTWARE\\Corvane\\Linkora\\Device Drivers\\Stakora\\Converter"));
    EXPECT_EQ(ConverterKeyPath(ConverterProduct::Pellora),
              QStringLiteral("SOFTWARE\\Corvane\\Linkora\\Device Drivers\\Pellora\\Converter"));
    EXPECT_EQ(ConverterKeyPath(ConverterProduct::Notavia),
              QStringLiteral("SOFTWARE\\Corvane\\Linkora\\Device Drivers\\Notavia\\Converter"));
    EXPECT_EQ(ConverterKeyPath(static_cast<ConverterProduct>(3)), QString());
    EXPECT_EQ(ConverterKeyPath(static_cast<ConverterProduct>(-1)), QString());
    EXPECT_EQ(ConverterBaseName(ConverterProduct::Stakora), QStringLiteral("stkr32"));
    EXPECT_EQ(ConverterBaseName(ConverterProduct::Pellora), QStringLiteral("plconv"));
    EXPECT_EQ(ConverterBaseName(ConverterProduct::Notavia), QStringLiteral("nvbk"));
}

struct NewestCase
{
    const char* what;
    Versions versions;
    QStringList files; // present in the folder
    QString expected;  // file name in the folder; empty for an empty result
};

TEST_F(ConverterDiscoveryTest, FindNewestConverterPicksTheHighestVersionOrScansTheFolder)
{
    const std::vector<NewestCase> cases = {
        {"highest version, listed first",
         {{"12.50", "stkr321250.so"}, {"11.00", "stkr321100.so"}},
         {"stkr321100.so", "stkr321250.so"},
         "stkr321250.so"},
        {"highest version, listed last",
         {{"11.00", "stkr321100.so"}, {"12.50", "stkr321250.so"}},
         {"stkr321100.so", "stkr321250.so"},
         "stkr321250.so"},
        {"equal versions: the first listed",
         {{"12.5", "first.so"}, {"12.50", "second.so"}},
         {"first.so", "second.so"},
         "first.so"},
        {"a name that is no number is skipped",
         {{"Default", "stkr329999.so"}, {"11.00", "stkr321100.so"}},
         {"stkr329999.so", "stkr321100.so"},
         "stkr321100.so"},
        {"a group separator makes no number",
         {{"1,100", "grouped.so"}, {"11.00", "stkr321100.so"}},
         {"grouped.so", "stkr321100.so"},
         "stkr321100.so"},
        {"no name converts: the folder scan decides",
         {{"Default", "default.so"}},
         {"default.so", "stkr321100.so", "stkr321250.so"},
         "stkr321250.so"},
        {"registered newest deleted: the folder scan decides",
         {{"12.50", "stkr321250.so"}, {"11.00", "stkr321100.so"}},
         {"stkr321100.so", "stkr321200.so"},
         "stkr321200.so"},
        {"nothing found: the registered path stays", {{"12.50", "gone.so"}}, {}, "gone.so"},
        {"versions of -1 and below are never taken",
         {{"-1", "minus.so"}, {"-2.5", "minus2.so"}},
         {"minus.so", "minus2.so"},
         ""},
    };
    for (const NewestCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment caseEnv;
        ConverterSetup caseSetup(caseEnv);
        for (const auto& [name, file] : c.versions)
            caseSetup.registerVersion(ConverterProduct::Stakora, name, file);
        QDir().mkpath(caseSetup.folder(ConverterProduct::Stakora));
        for (const QString& file : c.files)
            caseSetup.install(ConverterProduct::Stakora, file);
        caseSetup.writeHive();
        const QString expected =
            c.expected.isEmpty() ? QString() : caseSetup.folder(ConverterProduct::Stakora) + u'/' + c.expected;
        EXPECT_EQ(FindNewestConverter(ConverterProduct::Stakora), expected);
    }
}

TEST_F(ConverterDiscoveryTest, VersionNamesReadWithADotInACommaLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    registerStakora({{"9.50", "stkr320950.so"}, {"11.00", "stkr321100.so"}}, {"stkr320950.so", "stkr321100.so"});
    const QString found = FindNewestConverter(ConverterProduct::Stakora);
    QLocale::setDefault(saved);
    EXPECT_EQ(found, stakoraFolder() + QStringLiteral("stkr321100.so"));
}

TEST_F(ConverterDiscoveryTest, DirectoryGetsExactlyOneTrailingSeparator)
{
    setup.setText(ConverterKeyPath(ConverterProduct::Pellora), QStringLiteral("Directory"),
                  setup.folder(ConverterProduct::Pellora) + u'/');
    setup.setText(ConverterKeyPath(ConverterProduct::Pellora) + QStringLiteral("\\Versions"), QStringLiteral("3.00"),
                  QStringLiteral("plconv300.so"));
    registerStakora({{"12.50", "stkr321250.so"}}, {});

    EXPECT_EQ(FindNewestConverter(ConverterProduct::Stakora), stakoraFolder() + QStringLiteral("stkr321250.so"));
    EXPECT_EQ(FindNewestConverter(ConverterProduct::Pellora),
              setup.folder(ConverterProduct::Pellora) + QStringLiteral("/plconv300.so"));
    EXPECT_EQ(FindConverterForVersion(ConverterProduct::Pellora, 300),
              setup.folder(ConverterProduct::Pellora) + QStringLiteral("/plconv300.so"));
}

TEST_F(ConverterDiscoveryTest, MissingKeysGiveEmptyTextAndMissingDirectoryIsTheRoot)
{
    EXPECT_EQ(FindNewestConverter(ConverterProduct::Notavia), QString());

    // Libraries in a folder that no key names are never found.
    setup.install(ConverterProduct::Notavia, QStringLiteral("nvbk1100.so"));
    setup.setText(QStringLiteral("SOFTWARE\\Corvane\\Share"), QStringLiteral("CurrentGeoDataDirectory"),
                  QStringLiteral("/geo"));
    setup.setText(ConverterKeyPath(ConverterProduct::Stakora) + QStringLiteral("\\Versions"), QStringLiteral("12.50"),
                  QStringLiteral("stkr32-not-here.so"));
    setup.writeHive();
    EXPECT_EQ(FindNewestConverter(ConverterProduct::Notavia), QString());
    EXPECT_EQ(FindConverterForVersion(ConverterProduct::Notavia, 1100), QString());
    EXPECT_EQ(FindNewestConverter(ConverterProduct::Stakora), QStringLiteral("/stkr32-not-here.so"));
}

TEST_F(ConverterDiscoveryTest, ValuesOfTheWrongTypeEndTheOperation)
{
    const QString key = ConverterKeyPath(ConverterProduct::Stakora);
    setup.setValue(key, QStringLiteral("Directory"), RegHive::Data::fromDWord(1));
    setup.writeHive();
    try {
        FindNewestConverter(ConverterProduct::Stakora);
        ADD_FAILURE() << "no failure for a number in Directory";
    } catch (const UnexpectedFailure& failure) {
        // The user must be able to find the value: the hive file and the key are named.
        EXPECT_EQ(failure.description(), QStringLiteral("Invalid data type for 'Directory' (a value of the key "
                                                        "HKEY_LOCAL_MACHINE\\") +
                                             key + QStringLiteral(" in the hive file ") + setup.hivePath() +
                                             QStringLiteral(", where text is expected)"));
    }

    // Environment references in an expandable string are kept as they are.
    setup.setValue(key, QStringLiteral("Directory"),
                   RegHive::Data::fromText(QStringLiteral("$HOME/stakora"), RegHive::TypeExpandString));
    setup.setText(key + QStringLiteral("\\Versions"), QStringLiteral("11.00"), QStringLiteral("stkr321100.so"));
    setup.setValue(key + QStringLiteral("\\Versions"), QStringLiteral("12.50"),
                   RegHive::Data{RegHive::TypeBinary, QByteArray("\x01\x02", 2)});
    setup.writeHive();
    EXPECT_EQ(FindConverterForVersion(ConverterProduct::Stakora, 1100), QStringLiteral("$HOME/stakora/stkr321100.so"));
    EXPECT_THROW(FindNewestConverter(ConverterProduct::Stakora), UnexpectedFailure);
    EXPECT_THROW(FindConverterForVersion(ConverterProduct::Stakora, 1250), UnexpectedFailure);

    setup.setValue(key, QStringLiteral("Language File"), RegHive::Data::fromDWord(7));
    setup.writeHive();
    EXPECT_THROW(ReadConverterSettings(key), UnexpectedFailure);
}

struct FolderCase
{
    const char* what;
    QStringList files;
    QStringList folders;
    QString expected; // file name, or empty when the path is left as it was
};

TEST_F(ConverterDiscoveryTest, ScanConverterFolderTakesBaseNameDigitsAndSuffixOnly)
{
    const std::vector<FolderCase> cases = {
        {"highest number", {"stkr321100.so", "stkr321250.so", "stkr320999.so"}, {}, "stkr321250.so"},
        {"no digits", {"stkr32.so"}, {}, ""},
        {"not digits", {"stkr32abc.so", "stkr32-5.so", "stkr32 12.so", "stkr32+7.so"}, {}, ""},
        {"not the suffix", {"stkr321100.so.bak", "stkr321100.old.so", "stkr321100.dll", "STKR321300.SO"}, {}, ""},
        {"other products", {"nvbk1300.so", "plconv1300.so", "stkr321100.so"}, {}, "stkr321100.so"},
        {"digits kept as they stand", {"stkr320999.so"}, {}, "stkr320999.so"},
        {"a number too large is skipped", {"stkr3299999999999999999999.so", "stkr321100.so"}, {}, "stkr321100.so"},
        {"folders count too", {"stkr321250.so"}, {"stkr321300.so"}, "stkr321300.so"},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment caseEnv;
        const QString folder = caseEnv.root() + QStringLiteral("/scan/");
        QDir().mkpath(folder);
        for (const QString& file : c.files)
            caseEnv.writeFile(QStringLiteral("scan/") + file, "x");
        for (const QString& sub : c.folders)
            QDir().mkpath(folder + sub);
        QString path = QStringLiteral("unchanged");
        ScanConverterFolder(QStringLiteral("stkr32"), folder, path);
        EXPECT_EQ(path, c.expected.isEmpty() ? QStringLiteral("unchanged") : folder + c.expected);
    }
}

struct VersionCase
{
    std::int16_t version;
    QString registered; // the one "Versions" name
    bool matches;
};

TEST_F(ConverterDiscoveryTest, FindConverterForVersionMatchesTheNameAsText)
{
    const std::vector<VersionCase> cases = {
        {1100, "11.00", true}, {1100, "11.0", false}, {1250, "12.50", true},   {1250, "12.5", false},
        {100, "1.00", true},   {99, ".99", true},     {5, ".5", true},         {0, ".0", true},
        {-503, "-5.03", true}, {-5, ".-5", true},     {1100, "11.00 ", false}, {1100, "1100", false},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.registered.toStdString());
        TestEnvironment caseEnv;
        ConverterSetup caseSetup(caseEnv);
        caseSetup.registerVersion(ConverterProduct::Notavia, QStringLiteral("99.99"), QStringLiteral("other.so"));
        caseSetup.registerVersion(ConverterProduct::Notavia, c.registered, QStringLiteral("wanted.so"));
        caseSetup.writeHive();
        // The file is not checked: neither library exists.
        EXPECT_EQ(FindConverterForVersion(ConverterProduct::Notavia, c.version),
                  c.matches ? caseSetup.folder(ConverterProduct::Notavia) + QStringLiteral("/wanted.so") : QString());
    }
}

TEST_F(ConverterDiscoveryTest, FindConverterForVersionWithoutVersionsKey)
{
    setup.setText(ConverterKeyPath(ConverterProduct::Notavia), QStringLiteral("Directory"), QStringLiteral("/opt"));
    setup.writeHive();
    EXPECT_EQ(FindConverterForVersion(ConverterProduct::Notavia, 1100), QString());
}

TEST_F(ConverterDiscoveryTest, ReadConverterSettings)
{
    const QString key = ConverterKeyPath(ConverterProduct::Pellora);
    EXPECT_FALSE(ReadConverterSettings(key));

    // No shared key: no GeoData folder.
    setup.setText(key, QStringLiteral("Directory"), QStringLiteral("/opt/pellora"));
    setup.writeHive();
    auto settings = ReadConverterSettings(key);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->languageFile, QString());
    EXPECT_EQ(settings->geoDataFolder, QString());

    // A shared key without the value: none either.
    setup.setText(QStringLiteral("SOFTWARE\\Corvane\\Share"), QStringLiteral("Other"), QStringLiteral("x"));
    setup.setText(key, QStringLiteral("Language File"), QStringLiteral("/opt/pellora/de.lng"));
    setup.writeHive();
    settings = ReadConverterSettings(key);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->languageFile, QStringLiteral("/opt/pellora/de.lng"));
    EXPECT_EQ(settings->geoDataFolder, QString());

    setup.setText(QStringLiteral("software\\corvane\\share"), QStringLiteral("currentgeodatadirectory"),
                  QStringLiteral("/srv/geodata"));
    setup.writeHive();
    settings = ReadConverterSettings(key);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->geoDataFolder, QStringLiteral("/srv/geodata"));
}

TEST(ExampleHiveTest, TheReadmeExampleRegistersAllThreeProducts)
{
    TestEnvironment env;
    QDir().mkpath(env.configDir() + QStringLiteral("/corvane"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TABULON_EXAMPLES_DIR "/registry/registry.reg"),
                            env.configDir() + QStringLiteral("/corvane/registry.reg")));

    EXPECT_EQ(FindConverterForVersion(ConverterProduct::Stakora, 1250),
              QStringLiteral("/opt/corvane/stakora/converter/stkr321250.so"));
    EXPECT_EQ(FindNewestConverter(ConverterProduct::Pellora), QStringLiteral("/opt/corvane/pellora/plconv310.so"));
    EXPECT_EQ(FindConverterForVersion(ConverterProduct::Notavia, 205),
              QStringLiteral("/opt/corvane/notavia/bin/nvbk205.so"));
    const auto settings = ReadConverterSettings(ConverterKeyPath(ConverterProduct::Pellora));
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->languageFile, QStringLiteral("/opt/corvane/pellora/lang/english.lng"));
    EXPECT_EQ(settings->geoDataFolder, QStringLiteral("/opt/corvane/geodata"));
}

} // namespace
