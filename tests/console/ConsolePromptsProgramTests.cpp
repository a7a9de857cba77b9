#include "text/StringTable.h"
#include "text/TextIds.h"

#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// The bundled examples run as a script runs them: no display, answers piped into standard input.
class ConsolePromptsProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        work = env.root() + QStringLiteral("/work");
        QDir().mkpath(work);
    }

    ProgramResult run(const QString& source, const QString& sheet, const QByteArray& input)
    {
        return runTabulon({QStringLiteral(TABULON_EXAMPLES_DIR "/") + source,
                           QStringLiteral(TABULON_EXAMPLES_DIR "/") + sheet, QStringLiteral("out")},
                          work, input);
    }

    QString output(const QString& name) const
    {
        QFile file(QDir(work).filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<missing>");
    }

    bool nothingWritten() const { return QDir(work).entryList({QStringLiteral("out*")}).isEmpty(); }

    TestEnvironment env;
    QString work;
};

} // namespace

TEST_F(ConsolePromptsProgramTest, RoadDesignChoicesFromAScript)
{
    // Second alignment by number, the first surface by default, the side by its text.
    const ProgramResult result = run("road-design.xml", "road-design.xsl", "2\n\nLeft\n");
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(output("out.csv"), "Alignment,Link Road\nSurface,Formation\nSide,Left\nStation,Offset,Elevation,Code\n"
                                 "0.000,-3.500,64.062,\n0.000,0.000,64.150,\n"
                                 "15.000,-3.500,63.763,\n15.000,0.000,63.850,\n"
                                 "30.000,-3.500,63.462,\n30.000,0.000,63.550,\n");
    EXPECT_TRUE(result.err.contains(LoadLocalizedString(TextId::SelectAlignment) +
                                    " [Main Street]\n  1) Main Street\n  2) Link Road\n> "))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(" [Formation]\n  1) Formation\n  2) Top-Proposed top\n> "))
        << result.err.toStdString();
}

TEST_F(ConsolePromptsProgramTest, DesignSurfacesOfTheOtherAlignment)
{
    const ProgramResult result = run("road-design.xml", "road-design.xsl", "main street\n2\n\n");
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString csv = output("out.csv");
    EXPECT_TRUE(csv.startsWith("Alignment,Main Street\nSurface,Top-Finished surface\nSide,Both\n"))
        << csv.toStdString();
    EXPECT_EQ(csv.count(u'\n'), 4 + 3 * 7);
    EXPECT_TRUE(csv.contains("20.000,-3.600,64.532,KB\n")) << csv.toStdString();
}

TEST_F(ConsolePromptsProgramTest, AScriptThatAnswersWronglyOrRunsOutStopsWithoutOutput)
{
    ProgramResult result = run("road-design.xml", "road-design.xsl", "3\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("Error: ")) << result.err.toStdString();

    result = run("road-design.xml", "road-design.xsl", "1\n");
    EXPECT_EQ(result.exitCode, 2);

    result = run("small.smx", "user-fields.xsl", "Title\n\nmany\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("Error: " + LoadLocalizedString(TextId::IntegerRequired) + "\n"))
        << result.err.toStdString();
    EXPECT_TRUE(nothingWritten());
}

TEST_F(ConsolePromptsProgramTest, UserFieldsOfEveryKind)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(TABULON_EXAMPLES_DIR "/job.smx"), QDir(work).filePath("before.smx")));
    const ProgramResult result =
        run("small.smx", "user-fields.xsl", "O'Brien's \"5\" survey\nKERB\n+2\n-0.5\nbefore.smx\n");
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QStringList lines = output("out.txt").split(u'\n');
    ASSERT_GT(lines.size(), 7);
    EXPECT_EQ(lines[0], "O'Brien's \"5\" survey");
    EXPECT_EQ(lines[2], "Points: KERB; heights shifted by -0.50 m");
    EXPECT_EQ(lines[3], "Compared with: " + QDir(work).filePath("before.smx"));
    EXPECT_EQ(lines[6], "1001\tKERB\t4999995.43\t499988.98\t64.39\t40.00\t40.00\t1.04");
    EXPECT_TRUE(result.err.contains("Number of decimals [3] Height shift (m) [0.000] ")) << result.err.toStdString();
}
