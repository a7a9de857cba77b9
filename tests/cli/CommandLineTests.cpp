#include "app/CommandLine.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

TEST(CommandLine, ArgumentCountDecidesTheMode)
{
    using Mode = CommandLine::Mode;
    struct Case
    {
        QStringList arguments;
        Mode mode;
        QString output;
    };
    const Case cases[] = {
        {{}, Mode::Dialog, {}},
        {{QStringLiteral("")}, Mode::Dialog, {}},
        {{QStringLiteral("a.smx")}, Mode::Usage, {}},
        {{QStringLiteral("a.smx"), QStringLiteral("s.xsl")}, Mode::Generate, {}},
        {{QStringLiteral("a.smx"), QStringLiteral("s.xsl"), QStringLiteral("")}, Mode::Generate, {}},
        {{QStringLiteral(""), QStringLiteral("a.smx"), QStringLiteral(""), QStringLiteral("s.xsl")},
         Mode::Generate,
         {}},
        {{QStringLiteral("a.smx"), QStringLiteral("s.xsl"), QStringLiteral("o")}, Mode::Generate, QStringLiteral("o")},
        {{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}, Mode::Usage, {}},
    };
    for (const Case& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.mode, c.mode) << c.arguments.join(u',').toStdString();
        EXPECT_EQ(parsed.outputFileName, c.output);
    }
    const CommandLine blanks = ParseCommandLine({QStringLiteral("/data/my jobs/a b.smx"), QStringLiteral("s.xsl")});
    EXPECT_EQ(blanks.sourcePath, QStringLiteral("/data/my jobs/a b.smx"));
    EXPECT_EQ(blanks.styleSheetPath, QStringLiteral("s.xsl"));
}

TEST(CommandLine, UsageTextHasSevenLinesWithAnEmptySixth)
{
    const QStringList lines = UsageText(QStringLiteral("tabulon-1.2")).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 7);
    EXPECT_TRUE(lines[5].isEmpty());
    EXPECT_TRUE(lines[6].startsWith(QStringLiteral("Syntax: tabulon-1.2 <full Job or Surmex file name>")));
}
