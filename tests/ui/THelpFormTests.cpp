#include "QtPrinters.h"
#include "TestEnvironment.h"

#include "platform/RegistryKey.h"
#include "text/StringTable.h"
#include "ui/THelpForm.h"
#include "ui/WindowPosition.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

const QString SettingsKey = QStringLiteral("Software\\Corvane\\Tabulon");
const QString PositionValue = QStringLiteral("HelpDialogPosition");

class THelpFormTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        QApplication::processEvents();
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    }

    static QTextBlock paragraph(const THelpForm& form, int number)
    {
        return form.HelpText->document()->findBlockByNumber(number - 1);
    }

    std::optional<QString> storedPosition() const
    {
        const auto key = RegistryKey::open(RegistryRoot::CurrentUser, SettingsKey, RegistryAccess::Read);
        const auto value = key ? key->value(PositionValue) : std::nullopt;
        return value ? std::optional(value->text) : std::nullopt;
    }

    const TestEnvironment m_env;
};

TEST_F(THelpFormTest, ParagraphFormats)
{
    const THelpForm form;
    const QTextDocument& notes = *form.HelpText->document();
    ASSERT_EQ(notes.blockCount(), 42);
    const qreal pixelsPerPoint = form.HelpText->logicalDpiX() / 72.0;

    struct Row
    {
        const char* name;
        int paragraph;
        bool bullet;
        qreal firstIndent; // points, where the first line's text starts
        qreal nextLines;   // points, where later lines start
    };
    const std::vector<Row> rows = {
        {"leading empty paragraph", 1, false, 0, 0},
        {"introduction text", 3, false, 0, 0},
        {"first stand-alone bullet", 9, true, 10, 10},
        {"second stand-alone bullet", 10, true, 10, 10},
        {"paragraph after the bullets", 11, false, 0, 0},
        {"step 1", 13, false, 0, 15},
        {"bullet under step 1", 14, true, 30, 30},
        {"last bullet under step 1", 16, true, 30, 30},
        {"step 2 right after the bullets", 17, false, 0, 15},
        {"sub-step a", 18, false, 20, 30},
        {"sub-step c of step 3", 24, false, 20, 30},
        {"note", 25, false, 15, 30},
        {"step 4 after the note", 26, false, 0, 15},
        {"step 6", 28, false, 0, 15},
        {"after the steps", 30, false, 0, 0},
        {"bullet on viewing", 36, true, 10, 10},
        {"after the last bullets", 39, false, 0, 0},
        {"closing text", 42, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QTextBlock block = paragraph(form, row.paragraph);
        const QTextBlockFormat format = block.blockFormat();
        EXPECT_EQ(block.textList() != nullptr, row.bullet);
        EXPECT_DOUBLE_EQ(format.leftMargin() + format.textIndent(), row.firstIndent * pixelsPerPoint);
        EXPECT_DOUBLE_EQ(format.leftMargin(), row.nextLines * pixelsPerPoint);
    }

    for (int number = 1; number <= notes.blockCount(); ++number) {
        SCOPED_TRACE(number);
        const QTextBlock block = paragraph(form, number);
        const bool heading = number == 2 || number == 5 || number == 12 || number == 34 || number == 41;
        EXPECT_EQ(block.charFormat().fontWeight() == QFont::Bold, heading);
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            EXPECT_EQ(fragment.fragment().charFormat().fontWeight() == QFont::Bold, heading);
            EXPECT_FALSE(fragment.fragment().charFormat().hasProperty(QTextFormat::FontPointSize));
        }
    }
}

TEST_F(THelpFormTest, NotesHoldEveryTextInOrder)
{
    const THelpForm form;
    const QString text = form.HelpText->toPlainText();
    qsizetype from = 0;
    for (int id = 10028; id <= 10064; ++id) {
        SCOPED_TRACE(id);
        const qsizetype at = text.indexOf(LoadLocalizedString(id), from);
        ASSERT_GE(at, from);
        from = at + 1;
    }
    EXPECT_EQ(paragraph(form, 13).text(), QStringLiteral("1.\t") + LoadLocalizedString(10039));
    EXPECT_EQ(paragraph(form, 21).text(),
              QStringLiteral("3.\t") + LoadLocalizedString(10047) + u' ' + LoadLocalizedString(10048));
    EXPECT_EQ(paragraph(form, 20).text(), QStringLiteral("c.\t") + LoadLocalizedString(10046));
}

TEST_F(THelpFormTest, LabelsTabToWhereLaterLinesStart)
{
    THelpForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.HelpText->textCursor().position(), 0);
    EXPECT_EQ(form.HelpText->verticalScrollBar()->value(), 0);

    for (const int number : {13, 18, 26}) {
        SCOPED_TRACE(number);
        const QTextBlock block = paragraph(form, number);
        const QTextLine firstLine = block.layout()->lineForTextPosition(0);
        const qreal afterTab = firstLine.cursorToX(block.text().indexOf(u'\t') + 1);
        EXPECT_NEAR(afterTab, block.blockFormat().leftMargin(), 1.0);
    }
    form.close();
}

TEST_F(THelpFormTest, StoredBounds)
{
    const QRect desktop = VirtualDesktop();
    const QString belowDesktop = QString::number(desktop.bottom() + 50);
    const QString rightOfDesktop = QString::number(desktop.right() + 50);
    struct Row
    {
        const char* name;
        QByteArray stored; // the value line in the hive, or none
        std::optional<QRect> expected;
    };
    const std::vector<Row> rows = {
        {"no value", {}, std::nullopt},
        {"plain", "\"HelpDialogPosition\"=\"40,30,300,500\"", QRect(30, 40, 500, 300)},
        {"negative top", "\"HelpDialogPosition\"=\"-20,100,485,696\"", QRect(100, 0, 696, 485)},
        {"top below the desktop", "\"HelpDialogPosition\"=\"" + belowDesktop.toLatin1() + ",100,485,696\"",
         QRect(100, 0, 696, 485)},
        {"left right of the desktop", "\"HelpDialogPosition\"=\"60," + rightOfDesktop.toLatin1() + ",485,696\"",
         QRect(0, 60, 696, 485)},
        {"blanks around fields", "\"HelpDialogPosition\"=\"150, 290 ,485 , 696\"", QRect(290, 150, 696, 485)},
        {"tiny size kept", "\"HelpDialogPosition\"=\"10,20,40,50\"", QRect(20, 10, 50, 40)},
        {"three fields", "\"HelpDialogPosition\"=\"40,30,300\"", std::nullopt},
        {"five fields", "\"HelpDialogPosition\"=\"40,30,300,500,1\"", std::nullopt},
        {"empty", "\"HelpDialogPosition\"=\"\"", std::nullopt},
        {"not a string", "\"HelpDialogPosition\"=dword:00000028", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_env.writeFile(
            QStringLiteral("config/corvane/registry.reg"),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon]\r\n"
            "\"StyleSheetFile\"=\"kept.xsl\"\r\n" +
                row.stored + "\r\n");
        THelpForm form;
        const QPoint designedCorner = form.pos();
        const QSize designedSize = form.size();
        form.show();
        if (row.expected) {
            EXPECT_EQ(form.frameGeometry(), *row.expected);
        } else {
            EXPECT_EQ(form.pos(), designedCorner);
            EXPECT_EQ(form.size(), designedSize);
        }
        form.close();
        EXPECT_FALSE(form.isVisible());
        const QRect closed = form.frameGeometry();
        EXPECT_EQ(storedPosition(), FormatStoredFields({closed.top(), closed.left(), closed.height(), closed.width()}));
        const auto key = RegistryKey::open(RegistryRoot::CurrentUser, SettingsKey, RegistryAccess::Read);
        EXPECT_EQ(key->value(QStringLiteral("StyleSheetFile"))->text, QStringLiteral("kept.xsl"));
    }
}

TEST_F(THelpFormTest, EscapeClosesAndTheNextWindowOpensWhereItWasLeft)
{
    QRect left;
    {
        THelpForm form;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.move(70, 60);
        form.resize(400, 350);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.HelpText, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
        left = form.frameGeometry();
    }
    EXPECT_EQ(storedPosition(), FormatStoredFields({left.top(), left.left(), left.height(), left.width()}));
    // The frame is not added twice: a window reopened as often as one likes keeps its size.
    THelpForm next;
    next.show();
    EXPECT_EQ(next.frameGeometry(), left);
    next.close();
}

} // namespace
