#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// printf's escapes as the guide's commands use them.
QByteArray printfInput(QString text)
{
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return text.toUtf8();
}

} // namespace

// Every command the style sheet guide shows runs as shown and writes its output, and every example
// style sheet the guide names is run by one of them.
TEST(StyleSheetGuide, EveryCommandShownRuns)
{
    QFile guide(QStringLiteral(TABULON_SOURCE_DIR "/docs/style-sheets.md"));
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(guide.readAll());

    static const QRegularExpression command(
        QStringLiteral(R"(^    (?:printf (['"])(.*)\1 \| )?tabulon (examples/\S+) (examples/\S+) (\w+)$)"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression named(QStringLiteral(R"(examples/[\w-]+\.xslt?)"));

    const TestEnvironment env;
    const QString outputs = env.root() + QStringLiteral("/outputs");
    ASSERT_TRUE(QDir().mkpath(outputs));
    QSet<QString> run;
    for (const QRegularExpressionMatch& match : command.globalMatch(text)) {
        SCOPED_TRACE(match.captured(0).toStdString());
        const QString output = QDir(outputs).filePath(match.captured(5));
        // From the source folder, where the guide's relative names point.
        const ProgramResult result = runTabulon({match.captured(3), match.captured(4), output},
                                                QStringLiteral(TABULON_SOURCE_DIR), printfInput(match.captured(2)));
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        const QStringList written = QDir(outputs).entryList({match.captured(5) + QStringLiteral(".*")});
        ASSERT_EQ(written.size(), 1);
        EXPECT_GT(QFileInfo(QDir(outputs).filePath(written.front())).size(), 0);
        run << match.captured(4);
    }
    EXPECT_GE(run.size(), 5);
    for (const QRegularExpressionMatch& match : named.globalMatch(text))
        EXPECT_TRUE(run.contains(match.captured())) << match.captured().toStdString() << " is named but never run";
}
