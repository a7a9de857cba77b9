#include "ProgramTest.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

TEST_F(ProgramTest, WritesTheOutputNamedOnTheCommandLine)
{
    const ProgramResult result = run({source, sheet, QStringLiteral("out")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(read(QStringLiteral("out.csv")), Expected);
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
}

TEST_F(ProgramTest, WrongArgumentCountsShowTheUsage)
{
    for (const QStringList& arguments :
         {QStringList{source}, QStringList{source, sheet, QStringLiteral("out"), QStringLiteral("x")}}) {
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.contains(QStringLiteral("Syntax: tabulon <full"))) << result.err.toStdString();
    }
    EXPECT_TRUE(outputs().isEmpty());

    // The window cannot open without a display: the usage says what can be done instead.
    const ProgramResult windowless = run({});
    EXPECT_EQ(windowless.exitCode, 2);
    EXPECT_TRUE(windowless.err.contains(QStringLiteral("no display"))) << windowless.err.toStdString();
    EXPECT_TRUE(windowless.err.contains(QStringLiteral("Syntax: tabulon <full")));
}

TEST_F(ProgramTest, TwoArgumentsAskWhereToSave)
{
    // An empty third argument counts as not given.
    ProgramResult result = run({source, sheet, QString()}, "\n");
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("[site survey.csv]"))) << result.err.toStdString();
    EXPECT_EQ(read(QStringLiteral("site survey.csv")), Expected);

    // An existing file is replaced only after a yes.
    QFile::remove(QDir(work).filePath(QStringLiteral("site survey.csv")));
    QFile old(QDir(work).filePath(QStringLiteral("named.csv")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep");
    old.close();
    result = run({source, sheet}, "named\nn\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(read(QStringLiteral("named.csv")), QByteArray("keep"));
    result = run({source, sheet}, "named.csv\ny\n");
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(read(QStringLiteral("named.csv")), Expected);

    // End of input cancels.
    result = run({source, sheet}, "");
    EXPECT_EQ(result.exitCode, 2);
}

TEST_F(ProgramTest, ExpectedFailuresExitWithTwoAndUnexpectedOnesWithOne)
{
    ProgramResult result = run({env.root() + QStringLiteral("/missing.smx"), sheet, QStringLiteral("out")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains(QStringLiteral("missing.smx"))) << result.err.toStdString();

    const QString broken =
        env.writeFile(QStringLiteral("work dir/broken.xsl"),
                      R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:call-template name="loop"/></xsl:template>
<xsl:template name="loop"><xsl:call-template name="loop"/></xsl:template></xsl:stylesheet>)~");
    result = run({source, broken, QStringLiteral("out")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("Application Error: "))) << result.err.toStdString();

    result = run({source, sheet, env.root() + QStringLiteral("/no/such/folder/out")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("no/such/folder"))) << result.err.toStdString();
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(ProgramTest, RunsTheBundledExample)
{
    const ProgramResult result =
        run({QStringLiteral(TABULON_EXAMPLES_DIR "/job.smx"), QStringLiteral(TABULON_EXAMPLES_DIR "/points-csv.xsl"),
             QStringLiteral("points")});
    if (!QFileInfo::exists(QStringLiteral(TABULON_EXAMPLES_DIR "/job.smx")))
        GTEST_SKIP() << "no bundled example";
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(read(QStringLiteral("points.csv")).count('\n') > 100);
}

// The EXSLT library is loaded when a module first declares one of its namespaces; each run is a
// new process, so a module met only through xsl:import is the first to need it.
TEST_F(ProgramTest, ExsltWorksWhereverTheSheetOrAModuleItImportsDeclaresIt)
{
    const QByteArray module = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:math="http://exslt.org/math" xmlns:str="http://exslt.org/strings">
<xsl:template name="sum"><xsl:value-of select="math:max(//N)"/>|<xsl:value-of select="str:padding(3, 'ab')"/></xsl:template>
</xsl:stylesheet>)~";
    env.writeFile(QStringLiteral("work dir/module.xsl"), module);
    const struct
    {
        const char* name;
        QByteArray sheet;
    } rows[] = {
        {"declared in the sheet", R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:math="http://exslt.org/math" xmlns:str="http://exslt.org/strings">
<xsl:output method="text"/><xsl:variable name="fileExt" select="'csv'"/>
<xsl:template match="/"><xsl:value-of select="math:max(//N)"/>|<xsl:value-of select="str:padding(3, 'ab')"/></xsl:template>
</xsl:stylesheet>)~"},
        {"declared in an imported module only",
         R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:import href="module.xsl"/>
<xsl:output method="text"/><xsl:variable name="fileExt" select="'csv'"/>
<xsl:template match="/"><xsl:call-template name="sum"/></xsl:template>
</xsl:stylesheet>)~"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ProgramResult result =
            run({source, env.writeFile(QStringLiteral("work dir/exslt.xsl"), row.sheet), QStringLiteral("out")});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(read(QStringLiteral("out.csv")), QByteArray("2.5|aba"));
    }
}

TEST_F(ProgramTest, SatelliteCatalogueOverridesTheTextsItHas)
{
    ASSERT_TRUE(QDir().mkpath(env.root() + QStringLiteral("/data/tabulon")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TABULON_CLI_SATELLITE_QM),
                            env.root() + QStringLiteral("/data/tabulon/TabulonR.qm")));
    const ProgramResult result = run({env.root() + QStringLiteral("/missing.smx"), sheet, QStringLiteral("out")});
    EXPECT_EQ(result.exitCode, 2);
    // Translated, missing and empty translations: the last two fall back to the program's own.
    EXPECT_TRUE(result.err.contains(QStringLiteral("Fehler beim Laden der Surmex-Datei (")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("\nError number: "))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("\nReason: "))) << result.err.toStdString();
}

TEST_F(ProgramTest, OptionsAnswerOnStandardOutput)
{
    struct Row
    {
        const char* option;
        QString expected;
    };
    const Row rows[] = {
        {"--help", QStringLiteral("\nSyntax: tabulon <full")},
        {"--help", QStringLiteral("--version")},
        {"--version", QStringLiteral("tabulon ")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.option);
        const ProgramResult result = run({QString::fromLatin1(row.option)});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.out.contains(row.expected)) << result.out.toStdString();
        EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
    }
    // Beside a source and a style sheet an option is a file name like any other.
    EXPECT_EQ(run({QStringLiteral("--help"), sheet, QStringLiteral("out")}).exitCode, 2);
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(ProgramTest, ConsoleSpeaksTheCataloguesLanguage)
{
    ASSERT_TRUE(QDir().mkpath(env.root() + QStringLiteral("/data/tabulon")));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TABULON_GERMAN_QM), env.root() + QStringLiteral("/data/tabulon/TabulonR.qm")));
    QFile existing(QDir(work).filePath(QStringLiteral("old.csv")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    struct Row
    {
        const char* name;
        QStringList arguments;
        QByteArray input;
        QString expected; // on standard error, or on standard output for --help
        int exitCode;
    };
    const Row rows[] = {
        {"no display", {}, {}, QStringLiteral("Fehler: Es gibt keine Anzeige"), 2},
        {"usage", {source}, {}, QStringLiteral("Syntax: tabulon <vollständiger"), 2},
        {"help", {QStringLiteral("--help")}, {}, QStringLiteral("tabulon --help zeigt"), 0},
        {"save question", {source, sheet}, "\n", QStringLiteral("Speichern unter [site survey.csv]: "), 0},
        {"replace question answered in German", {source, sheet}, "old\nj\n", QStringLiteral("Ersetzen? [j/N]"), 0},
        {"input ended", {source, sheet}, {}, QStringLiteral("Abgebrochen: "), 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ProgramResult result = run(row.arguments, row.input);
        EXPECT_EQ(result.exitCode, row.exitCode) << result.err.toStdString();
        EXPECT_TRUE((result.err + result.out).contains(row.expected)) << (result.err + result.out).toStdString();
    }
    EXPECT_EQ(read(QStringLiteral("old.csv")), Expected);
}

TEST_F(ProgramTest, CommandLineUsesTheSavedViewSettingAndWritesNoSettings)
{
    struct Row
    {
        const char* name;
        QByteArray values; // of the user's settings key
        bool reported;     // success reported rather than the file opened
        bool viewerFails = false;
    };
    const std::vector<Row> rows = {
        {"not to be viewed", "\"ViewGeneratedFile\"=dword:00000000\n", true},
        {"viewed with the saved viewer",
         "\"TextFileViewer\"=\"true\"\n\"ViewGeneratedFile\"=dword:00000001\n\"DefaultFileExtensionIndex\"=dword:"
         "00000001\n",
         false},
        // Found, so kept at start, but not a program: the run says so rather than nothing.
        {"viewer that cannot start", "\"TextFileViewer\"=\"points.xsl\"\n\"ViewGeneratedFile\"=dword:00000001\n", false,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray hive =
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon]\n" + row.values;
        const QString hivePath = env.writeFile(QStringLiteral("config/corvane/registry.reg"), hive);
        const ProgramResult result = run({source, sheet}, "\n");
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(result.err.contains(QStringLiteral("successfully created")), row.reported)
            << result.err.toStdString();
        EXPECT_EQ(result.err.contains(QStringLiteral("Warning: ")) &&
                      result.err.contains(QStringLiteral("TextFileViewer")),
                  row.viewerFails)
            << result.err.toStdString();
        QFile written(hivePath);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), hive);
        QFile::remove(QDir(work).filePath(QStringLiteral("site survey.csv")));
    }
}
