#include "ConverterSetup.h"
#include "ScriptedInteraction.h"
#include "TestEnvironment.h"

#include "convert/JobConversion.h"
#include "platform/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using Library = ConverterSetup::Library;

class JobConversionTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_EQ(setup.faults(), QStringList()); }

    QString tempFolder() const { return env.tempDir() + u'/'; }

    bool convert(const QString& jobPath)
    {
        const JobConversion conversion = ConvertJobFile(jobPath, tempFolder(), ui);
        convertedPath = conversion.convertedPath;
        geoDataFolder = conversion.geoDataFolder;
        return conversion.converted;
    }

    QStringList callNames() const
    {
        QStringList names;
        for (const auto& call : setup.calls())
            names << call[QStringLiteral("call")] + u' ' + call[QStringLiteral("product")];
        return names;
    }

    QMap<QString, QString> translateCall() const
    {
        for (const auto& call : setup.calls()) {
            if (call[QStringLiteral("call")] == u"translate")
                return call;
        }
        return {};
    }

    std::vector<MessageKind> messageKinds() const
    {
        std::vector<MessageKind> kinds;
        for (const auto& message : ui.messages)
            kinds.push_back(message.kind);
        return kinds;
    }

    QString geoFolder()
    {
        const QString folder = env.root() + QStringLiteral("/geodata");
        QDir().mkpath(folder);
        return folder;
    }

    TestEnvironment env;
    ConverterSetup setup{env};
    ScriptedInteraction ui;
    QString convertedPath;
    QString geoDataFolder;
};

TEST_F(JobConversionTest, ConvertsWithTheConverterRegisteredForTheJobVersion)
{
    setup.installAll();
    setup.install(ConverterProduct::Stakora, QStringLiteral("stkr321100.so"));
    setup.registerVersion(ConverterProduct::Stakora, QStringLiteral("11.00"), QStringLiteral("stkr321100.so"));
    setup.setText(QStringLiteral("SOFTWARE\\Corvane\\Share"), QStringLiteral("CurrentGeoDataDirectory"), geoFolder());
    setup.writeHive();
    const QString job = setup.writeJob(QStringLiteral("survey.job"), ConverterProduct::Stakora, 1100,
                                       {QStringLiteral("point=P1,CP,100.5,200.25,12")});

    ASSERT_TRUE(convert(job));
    EXPECT_EQ(convertedPath, tempFolder() + QStringLiteral("survey.smx"));
    EXPECT_TRUE(QFileInfo(convertedPath).isFile());
    EXPECT_EQ(geoDataFolder, geoFolder());
    EXPECT_TRUE(ui.messages.empty());
    // The busy cursor covers the translation, and nothing else.
    EXPECT_EQ(ui.events, QStringList({QStringLiteral("busy"), QStringLiteral("normal")}));

    EXPECT_EQ(callNames(), QStringList({QStringLiteral("inspect notavia"), QStringLiteral("inspect pellora"),
                                        QStringLiteral("inspect stakora"), QStringLiteral("translate stakora")}));
    const auto translate = translateCall();
    EXPECT_EQ(translate[QStringLiteral("language")], ConverterSetup::languageFile(ConverterProduct::Stakora));
    EXPECT_EQ(translate[QStringLiteral("job")], job);
    EXPECT_EQ(translate[QStringLiteral("output")], convertedPath);
    EXPECT_EQ(translate[QStringLiteral("jobVersion")], QStringLiteral("1100"));
    EXPECT_EQ(translate[QStringLiteral("outputVersion")], QStringLiteral("1"));
    EXPECT_EQ(translate[QStringLiteral("folder")], geoFolder());

    QFile converted(convertedPath);
    ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
    EXPECT_TRUE(converted.readAll().contains("<Name>P1</Name><Code>CP</Code><Grid><North>100.5</North>"));
}

TEST_F(JobConversionTest, FirstRecognisingProductWinsInTheOrderNotaviaPelloraStakora)
{
    setup.installAll();
    setup.writeHive();

    EXPECT_TRUE(convert(setup.writeJob(QStringLiteral("n.job"), ConverterProduct::Notavia, 1250)));
    EXPECT_EQ(callNames(), QStringList({QStringLiteral("inspect notavia"), QStringLiteral("translate notavia")}));

    QFile::remove(env.root() + QStringLiteral("/converter.log"));
    EXPECT_TRUE(convert(setup.writeJob(QStringLiteral("p.job"), ConverterProduct::Pellora, 1250)));
    EXPECT_EQ(callNames(), QStringList({QStringLiteral("inspect notavia"), QStringLiteral("inspect pellora"),
                                        QStringLiteral("translate pellora")}));
    EXPECT_EQ(translateCall()[QStringLiteral("outputVersion")], QStringLiteral("-503"));
}

struct VersionCase
{
    ConverterProduct product;
    int version;
    QString registeredAs;
    bool converted;
};

TEST_F(JobConversionTest, OnlyStakoraNeedsVersion1100)
{
    const std::vector<VersionCase> cases = {
        {ConverterProduct::Stakora, 1099, "10.99", false}, {ConverterProduct::Stakora, 1100, "11.00", true},
        {ConverterProduct::Stakora, 1250, "12.50", true},  {ConverterProduct::Notavia, 5, ".5", true},
        {ConverterProduct::Pellora, 1, ".1", true},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.version);
        TestEnvironment caseEnv;
        ConverterSetup caseSetup(caseEnv);
        ScriptedInteraction caseUi;
        const QString library = ConverterBaseName(c.product) + QStringLiteral("%1.so").arg(c.version);
        caseSetup.install(c.product, library);
        caseSetup.registerVersion(c.product, c.registeredAs, library);
        caseSetup.writeHive();
        EXPECT_EQ(ConvertJobFile(caseSetup.writeJob(QStringLiteral("v.job"), c.product, c.version),
                                 caseEnv.tempDir() + u'/', caseUi)
                      .converted,
                  c.converted);
        EXPECT_EQ(caseUi.messageTexts(),
                  c.converted ? QStringList()
                              : QStringList{QStringLiteral("Cannot convert this version job file to a Surmex file")});
        for (const auto& message : caseUi.messages)
            EXPECT_EQ(message.kind, MessageKind::Error);
        EXPECT_EQ(caseSetup.faults(), QStringList());
    }
}

TEST_F(JobConversionTest, ReportedVersionAloneCountsAsRecognised)
{
    setup.installAll();
    setup.writeHive();

    // Result zero, version 1250: recognised, so the others are never asked.
    EXPECT_TRUE(convert(setup.writeJob(QStringLiteral("a.job"), ConverterProduct::Notavia, 1250,
                                       {QStringLiteral("inspect-result=0")})));
    EXPECT_EQ(callNames(), QStringList({QStringLiteral("inspect notavia"), QStringLiteral("translate notavia")}));

    // Result zero, no version: not recognised by anyone.
    QFile::remove(env.root() + QStringLiteral("/converter.log"));
    EXPECT_FALSE(convert(setup.writeJob(QStringLiteral("b.job"), ConverterProduct::Notavia, 1250,
                                        {QStringLiteral("inspect-result=0"), QStringLiteral("inspect-version=0")})));
    EXPECT_EQ(callNames().size(), 3);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(JobConversionTest, VersionWithoutExactRegistrationNamesAnEmptyLibrary)
{
    // 12.5 is the newest and inspects the file, but 1250 is looked up as the text "12.50".
    setup.install(ConverterProduct::Notavia, QStringLiteral("nvbk1250.so"));
    setup.registerVersion(ConverterProduct::Notavia, QStringLiteral("12.5"), QStringLiteral("nvbk1250.so"));
    setup.writeHive();
    EXPECT_FALSE(convert(setup.writeJob(QStringLiteral("survey.job"), ConverterProduct::Notavia, 1250)));
    EXPECT_EQ(messageKinds(), std::vector<MessageKind>{MessageKind::Error});
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("Cannot locate the required file converter ()")});
    // The converted path is known once the file was recognised.
    EXPECT_EQ(convertedPath, tempFolder() + QStringLiteral("survey.smx"));
    EXPECT_EQ(env.tempFiles(), QStringList());
}

struct LibraryCase
{
    const char* what;
    Library library;
    bool fileExists;
    bool missingMessage;
};

TEST_F(JobConversionTest, LibraryForTheVersionMissingOrUnusable)
{
    const std::vector<LibraryCase> cases = {
        {"no such file", Library::Full, false, true},
        {"not a library", Library::NotALibrary, true, true},
        {"no translate export", Library::InspectOnly, true, false},
    };
    for (const LibraryCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment caseEnv;
        ConverterSetup caseSetup(caseEnv);
        ScriptedInteraction caseUi;
        caseSetup.install(ConverterProduct::Notavia, QStringLiteral("nvbk1250.so"));
        caseSetup.registerVersion(ConverterProduct::Notavia, QStringLiteral("12.50"), QStringLiteral("nvbk1250.so"));
        caseSetup.registerVersion(ConverterProduct::Notavia, QStringLiteral("11.00"), QStringLiteral("nvbk1100.so"));
        if (c.fileExists)
            caseSetup.install(ConverterProduct::Notavia, QStringLiteral("nvbk1100.so"), c.library);
        caseSetup.writeHive();

        EXPECT_FALSE(ConvertJobFile(caseSetup.writeJob(QStringLiteral("j.job"), ConverterProduct::Notavia, 1100),
                                    caseEnv.tempDir() + u'/', caseUi)
                         .converted);
        const QString library = caseSetup.folder(ConverterProduct::Notavia) + QStringLiteral("/nvbk1100.so");
        EXPECT_EQ(caseUi.messageTexts(),
                  c.missingMessage
                      ? QStringList{QStringLiteral("Cannot locate the required file converter (%1)").arg(library)}
                      : QStringList());
        EXPECT_TRUE(caseUi.events.filter(QStringLiteral("busy")).isEmpty());
        EXPECT_EQ(caseEnv.tempFiles(), QStringList());
        EXPECT_EQ(caseSetup.faults(), QStringList());
    }
}

TEST_F(JobConversionTest, NewestLibraryThatCannotInspectRecognisesNothing)
{
    for (const Library library : {Library::TranslateOnly, Library::NotALibrary}) {
        TestEnvironment caseEnv;
        ConverterSetup caseSetup(caseEnv);
        ScriptedInteraction caseUi;
        caseSetup.install(ConverterProduct::Notavia, QStringLiteral("nvbk1250.so"), library);
        caseSetup.registerVersion(ConverterProduct::Notavia, QStringLiteral("12.50"), QStringLiteral("nvbk1250.so"));
        // Registered, but no file and nothing in the folder to fall back on.
        caseSetup.registerVersion(ConverterProduct::Pellora, QStringLiteral("12.50"), QStringLiteral("plconv1250.so"));
        caseSetup.writeHive();
        EXPECT_FALSE(ConvertJobFile(caseSetup.writeJob(QStringLiteral("j.job"), ConverterProduct::Notavia, 1250),
                                    caseEnv.tempDir() + u'/', caseUi)
                         .converted);
        EXPECT_TRUE(caseUi.messages.empty());
        EXPECT_TRUE(caseSetup.calls().empty());
    }
}

TEST_F(JobConversionTest, FailedTranslationLeavesNoFileBehind)
{
    setup.installAll();
    setup.writeHive();
    const std::vector<QStringList> cases = {
        {QStringLiteral("translate-result=0")}, // writes a partial file, then fails
        {QStringLiteral("translate-writes=no")},
    };
    for (const QStringList& directives : cases) {
        SCOPED_TRACE(directives.join(u' ').toStdString());
        // A file from an earlier run must not pass for this one's result.
        env.writeFile(QStringLiteral("tmp/survey.smx"), "stale");
        EXPECT_FALSE(
            convert(setup.writeJob(QStringLiteral("survey.job"), ConverterProduct::Pellora, 1250, directives)));
        EXPECT_EQ(convertedPath, tempFolder() + QStringLiteral("survey.smx"));
        EXPECT_EQ(env.tempFiles(), QStringList());
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST_F(JobConversionTest, GeoDataFolderInTheRecord)
{
    setup.installAll();
    setup.writeHive();
    const QString job = setup.writeJob(QStringLiteral("g.job"), ConverterProduct::Notavia, 1250);

    // No shared key: the conversion runs with an empty folder.
    geoDataFolder = QStringLiteral("stale");
    EXPECT_TRUE(convert(job));
    EXPECT_EQ(geoDataFolder, QString());
    EXPECT_EQ(translateCall()[QStringLiteral("folder")], QString());

    // A folder whose short form does not fit the record is left out; the conversion goes on.
    QString longFolder = env.root();
    while (QFile::encodeName(longFolder).size() <= 259)
        longFolder += QStringLiteral("/") + QString(60, u'g');
    QDir().mkpath(longFolder);
    QString fitting = env.root() + u'/';
    fitting += QString(259 - QFile::encodeName(fitting).size(), u'f');
    QDir().mkpath(fitting);
    const std::vector<std::pair<QString, QString>> cases = {
        {longFolder, QString()},
        {fitting, fitting},
        {env.root() + QStringLiteral("/no such folder"), QString()},
    };
    for (const auto& [registered, inRecord] : cases) {
        QFile::remove(env.root() + QStringLiteral("/converter.log"));
        setup.setText(QStringLiteral("SOFTWARE\\Corvane\\Share"), QStringLiteral("CurrentGeoDataDirectory"),
                      registered);
        setup.writeHive();
        EXPECT_TRUE(convert(job));
        EXPECT_EQ(geoDataFolder, registered);
        EXPECT_EQ(translateCall()[QStringLiteral("folder")], inRecord);
    }
}

TEST_F(JobConversionTest, JobNamedOutsideAsciiComesBackUnderItsLongName)
{
    setup.installAll();
    setup.writeHive();
    const QString job = setup.writeJob(QStringLiteral("Vermessung Süd 測量.v2.job"), ConverterProduct::Notavia, 1250);
    ASSERT_TRUE(convert(job));
    EXPECT_EQ(convertedPath, tempFolder() + QStringLiteral("Vermessung Süd 測量.v2.smx"));
    EXPECT_TRUE(QFileInfo(convertedPath).isFile());
    EXPECT_EQ(translateCall()[QStringLiteral("job")], job);
}

TEST_F(JobConversionTest, UnrecognisedJobFilesFailWithoutAMessage)
{
    setup.installAll();
    setup.writeHive();
    QDir().mkpath(env.root() + QStringLiteral("/jobs/folder.job"));
    const QStringList jobs = {
        env.writeFile(QStringLiteral("jobs/empty.job"), ""),
        env.writeFile(QStringLiteral("jobs/binary.job"), QByteArray("\x00\x01\x02\xff", 4)),
        env.root() + QStringLiteral("/jobs/missing.job"),
        env.root() + QStringLiteral("/jobs/folder.job"),
        QString(),
    };
    for (const QString& job : jobs) {
        SCOPED_TRACE(job.toStdString());
        EXPECT_FALSE(convert(job));
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(env.tempFiles(), QStringList());
    for (const auto& call : setup.calls())
        EXPECT_EQ(call[QStringLiteral("call")], QStringLiteral("inspect"));
}

TEST_F(JobConversionTest, MissingOutputFolderIsAFailure)
{
    setup.installAll();
    setup.writeHive();
    const QString job = setup.writeJob(QStringLiteral("nowhere.job"), ConverterProduct::Notavia, 1250);
    EXPECT_FALSE(ConvertJobFile(job, env.root() + QStringLiteral("/missing/"), ui).converted);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("nowhere.smx")));
    EXPECT_EQ(translateCall(), (QMap<QString, QString>()));
}

TEST_F(JobConversionTest, BrokenHiveRecognisesNothingAndWrongTypesThrow)
{
    setup.installAll();
    env.writeFile(QStringLiteral("etc-xdg/corvane/registry.reg"), "REGEDIT?\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n");
    const QString job = setup.writeJob(QStringLiteral("b.job"), ConverterProduct::Stakora, 1250);
    EXPECT_FALSE(convert(job));
    EXPECT_TRUE(ui.messages.empty());

    setup.setValue(ConverterKeyPath(ConverterProduct::Stakora), QStringLiteral("Language File"),
                   RegHive::Data::fromDWord(1));
    setup.writeHive();
    EXPECT_THROW(convert(job), UnexpectedFailure);
    EXPECT_EQ(env.tempFiles(), QStringList());
}

TEST(ShortPathOfTest, ExistingPathsAreTheirOwnShortForm)
{
    TestEnvironment env;
    const QString file = env.writeFile(QStringLiteral("Süd.job"), "x");
    EXPECT_EQ(ShortPathOf(file), file.toUtf8());
    EXPECT_EQ(ShortPathOf(env.root() + u'/'), (env.root() + u'/').toUtf8());
    EXPECT_EQ(ShortPathOf(env.root() + QStringLiteral("/missing.job")), QByteArray());
    EXPECT_EQ(ShortPathOf(QString()), QByteArray());

    QString deep = env.root();
    while (QFile::encodeName(deep).size() <= 1024)
        deep += u'/' + QString(200, u'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    EXPECT_EQ(ShortPathOf(deep), QByteArray());
}

} // namespace
