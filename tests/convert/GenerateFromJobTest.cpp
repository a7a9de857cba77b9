#include "ConverterSetup.h"
#include "ProgramRunner.h"
#include "RecordingShell.h"
#include "ScriptedInteraction.h"
#include "TestEnvironment.h"
#include "TestPaths.h"

#include "pipeline/GenerateOperation.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QStringList Points = {QStringLiteral("point=CP1,CTRL,5012.5,2200.25,101.2"),
                            QStringLiteral("point=T7,TREE,5020.125,2210,99.875")};
const QByteArray PointList = "Name,Code,North,East,Elevation\n"
                             "CP1,CTRL,5012.500,2200.250,101.200\n"
                             "T7,TREE,5020.125,2210.000,99.875\n";

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

    QStringList messageKinds() const
    {
        QStringList kinds;
        for (const auto& event : ui.events) {
            if (event != u"busy" && event != u"normal")
                kinds << event.section(u':', 0, 0);
        }
        return kinds;
    }

    TestEnvironment env;
    ConverterSetup setup{env};
    ScriptedInteraction ui;
    RecordingShell shell;
    GenerateFields form;
    QString geoData;
    QString outDir;
};

TEST_F(GenerateFromJobTest, ConvertedJobBecomesTheReportAndTheConvertedFileIsRemoved)
{
    for (const char* encoding : {"utf8", "utf16"}) {
        SCOPED_TRACE(encoding);
        QStringList directives = Points;
        directives << QStringLiteral("reduction-errors=2") << QStringLiteral("output-encoding=") + encoding;
        form.source = setup.writeJob(QStringLiteral("site.JOB"), ConverterProduct::Stakora, 1250, directives);
        ui = ScriptedInteraction();
        QFile::remove(outDir + QStringLiteral("/report.csv"));

        EXPECT_EQ(RunGenerateOperation(form, ui, shell), GenerateOutcome::Written);
        EXPECT_EQ(readFile(outDir + QStringLiteral("/report.csv")), PointList);
        EXPECT_EQ(messageKinds(), QStringList({QStringLiteral("warning"), QStringLiteral("warning")}));
        // The translation's busy cursor ends before the warnings.
        EXPECT_EQ(ui.events.mid(0, 2), QStringList({QStringLiteral("busy"), QStringLiteral("normal")}));
        EXPECT_EQ(env.tempFiles(), QStringList());
    }
}

TEST_F(GenerateFromJobTest, FailedConversionEndsTheRun)
{
    const std::vector<std::pair<QString, QStringList>> cases = {
        {setup.writeJob(QStringLiteral("old.job"), ConverterProduct::Stakora, 1099), {"error", "error"}},
        {env.writeFile(QStringLiteral("jobs/foreign.job"), "not a job we know"), {"error"}},
        {setup.writeJob(QStringLiteral("fails.job"), ConverterProduct::Pellora, 1250,
                        {QStringLiteral("translate-result=0")}),
         {"error"}},
    };
    for (const auto& [job, kinds] : cases) {
        SCOPED_TRACE(job.toStdString());
        ui = ScriptedInteraction();
        form.source = job;
        EXPECT_EQ(RunGenerateOperation(form, ui, shell), GenerateOutcome::NotWritten);
        EXPECT_EQ(messageKinds(), kinds);
        EXPECT_EQ(QDir(outDir).entryList(QDir::Files), QStringList());
    }
}

TEST_F(GenerateFromJobTest, CommandLineWritesTheReportOfAJobFile)
{
    const QString job = setup.writeJob(QStringLiteral("site survey.job"), ConverterProduct::Notavia, 1250,
                                       Points + QStringList{QStringLiteral("reduction-errors=3")});
    const ProgramResult result = runTabulon({job, form.sheet, QStringLiteral("out")}, outDir);
    const QString& err = result.err;

    EXPECT_EQ(result.exitCode, 0) << err.toStdString();
    EXPECT_EQ(readFile(outDir + QStringLiteral("/out.csv")), PointList);
    EXPECT_EQ(err.count(QStringLiteral("Warning:")), 3) << err.toStdString();
    ASSERT_EQ(setup.calls().size(), 2u);
    EXPECT_EQ(setup.calls()[1][QStringLiteral("folder")], geoData);
}

} // namespace
