#include "ConverterSetup.h"
#include "ProgramRunner.h"
#include "RecordingShell.h"
#include "ScriptedInteraction.h"
#include "TestEnvironment.h"
#include "TestPaths.h"

#include "pipeline/GenerateOperation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QThread>

#include <csignal>

#include <gtest/gtest.h>

namespace {

struct CommandLineForm : GenerateForm
{
    QString source;
    QString sheet;
    QString output;

    QString sourcePath() const override { return source; }
    QString selectedFormat() const override { return {}; }
    QString styleSheetPath() const override { return sheet; }
    QString outputFileName() const override { return output; }
    void setOutputFileName(const QString& name) override { output = name; }
    bool viewFile() const override { return false; }
    QString textFileViewer() const override { return {}; }
    bool commandLineMode() const override { return true; }
};

const QStringList Points = {QStringLiteral("point=CP1,CTRL,5012.5,2200.25,101.2"),
                            QStringLiteral("point=T7,TREE,5020.125,2210,99.875")};
const QByteArray PointList = "Name,Code,North,East,Elevation\n"
                             "CP1,CTRL,5012.500,2200.250,101.200\n"
                             "T7,TREE,5020.125,2210.000,99.875\n";
const QString NotConverted = QStringLiteral("The selected job file could not be converted to a Surmex file");

QString gridWarning(const QString& folder)
{
    return QStringLiteral("A required grid file could not be located in the GeoData folder (%1).\r\n"
                          "The grid file is needed when converting the selected job file to a Surmex file for use "
                          "in the processing.\r\n"
                          "No computed grid coordinates will be available for output.")
        .arg(folder);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// From a job file through conversion, reduction error warnings and the style sheet to a saved
// report, as the command line runs it.
class GenerateFromJobTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setup.installAll();
        geoData = env.root() + QStringLiteral("/geodata");
        QDir().mkpath(geoData);
        setup.setText(QStringLiteral("SOFTWARE\\Corvane\\Share"), QStringLiteral("CurrentGeoDataDirectory"), geoData);
        setup.writeHive();
        outDir = env.root() + QStringLiteral("/out");
        QDir().mkpath(outDir);
        form.sheet = QStringLiteral(TABULON_EXAMPLES_DIR "/points-csv.xsl");
        form.output = outDir + QStringLiteral("/report");
    }

    void TearDown() override
    {
        EXPECT_EQ(env.tempFiles(), QStringList());
        EXPECT_EQ(ui.busyDepth, 0);
        EXPECT_EQ(setup.faults(), QStringList());
    }

    TestEnvironment env;
    ConverterSetup setup{env};
    ScriptedInteraction ui;
    RecordingShell shell;
    CommandLineForm form;
    QString geoData;
    QString outDir;
};

TEST_F(GenerateFromJobTest, ConvertedJobBecomesTheReportAndTheConvertedFileIsRemoved)
{
    struct Case
    {
        const char* encoding;
        bool geoData;
    };
    for (const Case c : {Case{"utf8", true}, Case{"utf16", true}, Case{"utf8", false}}) {
        SCOPED_TRACE(c.encoding);
        if (!c.geoData) {
            setup.setText(QStringLiteral("SOFTWARE\\Corvane\\Share"), QStringLiteral("CurrentGeoDataDirectory"),
                          QString());
            setup.writeHive();
        }
        QStringList directives = Points;
        directives << QStringLiteral("reduction-errors=2") << QStringLiteral("output-encoding=") + c.encoding;
        form.source = setup.writeJob(QStringLiteral("site.JOB"), ConverterProduct::Stakora, 1250, directives);
        ui = ScriptedInteraction();
        QFile::remove(outDir + QStringLiteral("/report.csv"));

        EXPECT_EQ(RunGenerateOperation(form, ui, shell), GenerateOutcome::Written);
        EXPECT_EQ(readFile(outDir + QStringLiteral("/report.csv")), PointList);
        const QString warning = gridWarning(c.geoData ? geoData : QString());
        EXPECT_EQ(ui.messageTexts(), QStringList({warning, warning}));
        EXPECT_EQ(ui.messages.at(0).kind, MessageKind::Warning);
        // The translation's busy cursor ends before the warnings.
        EXPECT_EQ(ui.events.mid(0, 3), QStringList({QStringLiteral("busy"), QStringLiteral("normal"),
                                                    QStringLiteral("warning:") + warning}));
        EXPECT_EQ(env.tempFiles(), QStringList());
    }
}

TEST_F(GenerateFromJobTest, FailedConversionEndsTheRunAfterItsOwnMessages)
{
    const std::vector<std::pair<QString, QStringList>> cases = {
        {setup.writeJob(QStringLiteral("old.job"), ConverterProduct::Stakora, 1099),
         {QStringLiteral("Cannot convert this version job file to a Surmex file"), NotConverted}},
        {env.writeFile(QStringLiteral("jobs/foreign.job"), "not a job we know"), {NotConverted}},
        {setup.writeJob(QStringLiteral("fails.job"), ConverterProduct::Pellora, 1250,
                        {QStringLiteral("translate-result=0")}),
         {NotConverted}},
        {setup.writeJob(QStringLiteral("unregistered.job"), ConverterProduct::Notavia, 1300),
         {QStringLiteral("Cannot locate the required file converter ()"), NotConverted}},
    };
    for (const auto& [job, texts] : cases) {
        SCOPED_TRACE(job.toStdString());
        ui = ScriptedInteraction();
        form.source = job;
        EXPECT_EQ(RunGenerateOperation(form, ui, shell), GenerateOutcome::NotWritten);
        EXPECT_EQ(ui.messageTexts(), texts);
        for (const auto& message : ui.messages)
            EXPECT_EQ(message.kind, MessageKind::Error);
        EXPECT_EQ(QDir(outDir).entryList(QDir::Files), QStringList());
    }
}

TEST_F(GenerateFromJobTest, CommandLineWritesTheReportOfAJobFile)
{
    const QString job = setup.writeJob(QStringLiteral("site survey.job"), ConverterProduct::Notavia, 1250,
                                       Points + QStringList{QStringLiteral("reduction-errors=3")});
    const ProgramResult result = runTabulon({job, form.sheet, QStringLiteral("out")}, outDir);

    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readFile(outDir + QStringLiteral("/out.csv")), PointList);
    EXPECT_EQ(result.err.count(QStringLiteral("Warning: ") + gridWarning(geoData).section(u'\r', 0, 0)), 3)
        << result.err.toStdString();
    ASSERT_EQ(setup.calls().size(), 2u);
    EXPECT_EQ(setup.calls()[1][QStringLiteral("folder")], geoData);

    const ProgramResult refused = runTabulon(
        {env.writeFile(QStringLiteral("jobs/foreign.job"), "?"), form.sheet, QStringLiteral("none")}, outDir);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(NotConverted)) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(outDir + QStringLiteral("/none.csv")));
}

TEST_F(GenerateFromJobTest, AJobRunTouchesNothingInTheTemporaryFolderButItsOwn)
{
    // A file of the converted file's name that is the user's, and a link planted to write through.
    const QString mine = env.writeFile(QStringLiteral("tmp/site.smx"), "mine");
    const QString victim = env.writeFile(QStringLiteral("victim.txt"), "keep");
    ASSERT_TRUE(QFile::link(victim, env.tempDir() + QStringLiteral("/linked.smx")));

    for (const QString& name : {QStringLiteral("site.job"), QStringLiteral("linked.job")}) {
        SCOPED_TRACE(name.toStdString());
        const QString job = setup.writeJob(name, ConverterProduct::Stakora, 1250, Points);
        const ProgramResult result = runTabulon({job, form.sheet, QStringLiteral("out")}, outDir);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(readFile(outDir + QStringLiteral("/out.csv")), PointList);
    }
    EXPECT_EQ(readFile(mine), QByteArray("mine"));
    EXPECT_EQ(readFile(victim), QByteArray("keep"));
    QFile::remove(mine);
    QFile::remove(env.tempDir() + QStringLiteral("/linked.smx"));
}

TEST_F(GenerateFromJobTest, AnInterruptedJobRunLeavesNoConvertedJob)
{
    const QString prompting =
        env.writeFile(QStringLiteral("prompt.xsl"),
                      R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:variable name="userFieldT" select="'t|Title|STRING'"/><xsl:variable name="t" select="'x'"/>
<xsl:template match="/"><xsl:value-of select="$t"/></xsl:template></xsl:stylesheet>)~");
    RunningTabulon run({setup.writeJob(QStringLiteral("site.job"), ConverterProduct::Stakora, 1250, Points), prompting,
                        QStringLiteral("out")},
                       outDir);
    ASSERT_TRUE(run.waitForError(QStringLiteral("Title [x] ")));
    ::kill(pid_t(run.pid()), SIGTERM);
    EXPECT_EQ(run.finish().exitCode, 128 + SIGTERM);
}

TEST_F(GenerateFromJobTest, TwoRunsAtOnceOnJobsOfTheSameNameEachReportTheirOwnPoints)
{
    // The first run's many warnings fill the pipe that nobody reads yet: it stops after its
    // conversion, before loading the converted file, while the second run goes from start to end.
    QStringList firstDirectives = Points;
    firstDirectives << QStringLiteral("reduction-errors=2000");
    const QString first =
        setup.writeJob(QStringLiteral("north/site.job"), ConverterProduct::Stakora, 1250, firstDirectives);
    const QString second = setup.writeJob(QStringLiteral("south/site.job"), ConverterProduct::Stakora, 1250,
                                          {QStringLiteral("point=S1,SPOT,1,2,3")});
    RunningTabulon firstRun({first, form.sheet, QStringLiteral("north")}, outDir);
    const auto converted = [this] {
        QDirIterator files(env.tempDir(), {QStringLiteral("site.smx")}, QDir::Files, QDirIterator::Subdirectories);
        return files.hasNext();
    };
    while (!converted() && ::kill(pid_t(firstRun.pid()), 0) == 0)
        QThread::msleep(10);

    const ProgramResult secondResult = runTabulon({second, form.sheet, QStringLiteral("south")}, outDir);
    const ProgramResult firstResult = firstRun.finish();
    EXPECT_EQ(secondResult.exitCode, 0) << secondResult.err.toStdString();
    EXPECT_EQ(firstResult.exitCode, 0) << firstResult.err.right(500).toStdString();
    EXPECT_EQ(readFile(outDir + QStringLiteral("/north.csv")), PointList);
    EXPECT_EQ(readFile(outDir + QStringLiteral("/south.csv")),
              QByteArray("Name,Code,North,East,Elevation\nS1,SPOT,1.000,2.000,3.000\n"));
}

} // namespace
