#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "console/ConsolePrompts.h"
#include "text/StringTable.h"
#include "text/TextIds.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ConsoleRun
{
    std::optional<QString> answer;
    QString shown;
};

ConsoleRun askOnConsole(const ValueQuestion& question, const QByteArray& input, bool interactive)
{
    QByteArray inputBytes = input;
    QBuffer inBuffer(&inputBytes);
    inBuffer.open(QIODevice::ReadOnly);
    QByteArray shownBytes;
    QBuffer errBuffer(&shownBytes);
    errBuffer.open(QIODevice::WriteOnly);
    QTextStream in(&inBuffer);
    QTextStream err(&errBuffer);

    ConsoleRun run;
    run.answer = askValueOnConsole(question, in, err, interactive);
    err.flush();
    run.shown = QString::fromUtf8(shownBytes);
    return run;
}

ValueQuestion question(UserFieldKind kind, const QString& defaultText, const QString& lower = {},
                       const QString& upper = {}, const QStringList& items = {})
{
    return ValueQuestion{"Prompt", defaultText, kind, lower, upper, items};
}

} // namespace

TEST(ConsolePrompts, AnswersAndDefaults)
{
    const LocaleGuard locale(englishLocale());
    using K = UserFieldKind;
    const QStringList roads = {"Main Road", "Ramp A", "ramp b"};
    struct Case
    {
        const char* name;
        ValueQuestion question;
        QByteArray input;
        bool interactive;
        std::optional<QString> answer;
    };
    const std::vector<Case> cases = {
        {"empty line takes the default", question(K::STRING, "abc"), "\n", false, "abc"},
        {"typed text as typed", question(K::STRING, "abc"), "  O'Brien  \n", false, "  O'Brien  "},
        {"empty default, empty line", question(K::STRING, ""), "\n", false, ""},
        {"end of input cancels", question(K::STRING, "abc"), "", false, std::nullopt},
        {"end of input after a line without end", question(K::STRING, "abc"), "last", false, "last"},
        {"CR LF line ends", question(K::STRING, "abc"), "typed\r\n", false, "typed"},
        {"NUL in a text cancels a script", question(K::STRING, "abc"), QByteArray("a\0b\n", 4), false, std::nullopt},
        {"NUL in a text asks again on a terminal", question(K::STRING, "abc"), QByteArray("a\0b\nab\n", 7), true, "ab"},
        {"decimal within limits", question(K::DOUBLE, "1.00", "0", "100"), "42.5\n", false, "42.5"},
        {"decimal default", question(K::DOUBLE, "1.00", "0", "100"), "\n", false, "1.00"},
        {"decimal outside limits cancels a script", question(K::DOUBLE, "1", "0", "100"), "100.5\n50\n", false,
         std::nullopt},
        {"decimal outside limits asks again on a terminal", question(K::DOUBLE, "1", "0", "100"), "100.5\n50\n", true,
         "50"},
        {"invalid default", question(K::DOUBLE, "$x", "", ""), "\n", false, std::nullopt},
        {"terminal that ends", question(K::DOUBLE, "1"), "abc\n", true, std::nullopt},
        {"whole number returned as typed", question(K::INTEGER, "3", "1", "10"), "+7\n", false, "+7"},
        {"whole number outside limits", question(K::INTEGER, "3", "1", "10"), "11\n", false, std::nullopt},
        {"menu by number", question(K::STRINGMENU, "Main Road", "0", "0", roads), "2\n", false, "Ramp A"},
        {"menu by text ignoring case", question(K::STRINGMENU, "Main Road", "0", "0", roads), "RAMP B\n", false,
         "ramp b"},
        {"menu default", question(K::STRINGMENU, " main road ", "0", "0", roads), "\n", false, "Main Road"},
        {"menu without matching default", question(K::STRINGMENU, "Bridge", "0", "0", roads), "\n", false,
         std::nullopt},
        {"menu number out of range", question(K::STRINGMENU, "Main Road", "0", "0", roads), "4\n", false, std::nullopt},
        {"menu retry on a terminal", question(K::STRINGMENU, "Bridge", "0", "0", roads), "\n0\n3\n", true, "ramp b"},
        {"empty menu", question(K::STRINGMENU, "", "0", "0", {}), "\n", false, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(askOnConsole(c.question, c.input, c.interactive).answer, c.answer) << c.name;
}

TEST(ConsolePrompts, ShowsThePromptTheDefaultAndTheNumberedItems)
{
    const LocaleGuard locale(englishLocale());
    const ConsoleRun plain = askOnConsole(question(UserFieldKind::DOUBLE, "2.50"), "\n", false);
    EXPECT_EQ(plain.shown, "Prompt [2.50] ");

    ValueQuestion menu = question(UserFieldKind::STRINGMENU, "ramp a", "0", "0", {"Main Road", "Ramp A"});
    menu.prompt = "Select alignment to export:";
    EXPECT_EQ(askOnConsole(menu, "\n", false).shown,
              "Select alignment to export: [Ramp A]\n  1) Main Road\n  2) Ramp A\n> ");
}

TEST(ConsolePrompts, InvalidAnswersShowTheDialogsMessage)
{
    const LocaleGuard locale(englishLocale());
    const ConsoleRun script = askOnConsole(question(UserFieldKind::INTEGER, "3", "1", "10"), "2.5\n", false);
    EXPECT_FALSE(script.answer);
    EXPECT_TRUE(script.shown.contains("Error: " + LoadLocalizedString(TextId::IntegerRequired) + "\n"));
    EXPECT_TRUE(askOnConsole(question(UserFieldKind::STRING, ""), "\x01\n", false)
                    .shown.contains("Error: The entered value holds a character that cannot be used: U+0001"));

    const ConsoleRun terminal = askOnConsole(question(UserFieldKind::DOUBLE, "1", "0", "100"), "100.5\nabc\n7\n", true);
    EXPECT_EQ(terminal.answer, "7");
    EXPECT_TRUE(terminal.shown.contains("Error: The entered value is outside the valid range 0.000 to 100.000\n"));
    EXPECT_TRUE(terminal.shown.contains("Error: " + LoadLocalizedString(TextId::NumericRequired) + "\n"));
    EXPECT_EQ(terminal.shown.count("Prompt [1] "), 3);
}

TEST(ConsolePrompts, CommaLocaleDecimals)
{
    const LocaleGuard locale(commaLocale());
    EXPECT_EQ(askOnConsole(question(UserFieldKind::DOUBLE, "2,5", "0", "10"), "3,75\n", false).answer, "3,75");
    EXPECT_FALSE(askOnConsole(question(UserFieldKind::DOUBLE, "2,5", "0", "10"), "3.75\n", false).answer);
}
