#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "text/StringTable.h"
#include "text/TextIds.h"
#include "ui/TUserValueForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

class TUserValueFormTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        QApplication::processEvents();
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    }

    // Runs step once the modal dialog (or box) that is about to open is the active window, so
    // that focus and keys behave as for a user. The offscreen platform activates a window when it
    // is shown but not when the box above it closes; a window manager would.
    static void whenShown(std::function<void()> step, int attempts = 1000)
    {
        QTimer::singleShot(0, qApp, [step = std::move(step), attempts]() mutable {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->isActiveWindow()) {
                step();
            } else if (attempts > 0) {
                if (modal)
                    modal->activateWindow();
                whenShown(std::move(step), attempts - 1);
            } else {
                ADD_FAILURE() << "no modal window became active";
                if (modal)
                    modal->close();
            }
        });
    }

    const LocaleGuard m_locale{englishLocale()};
};

ValueQuestion question(UserFieldKind kind, const QString& defaultText, const QString& lower = {},
                       const QString& upper = {}, const QStringList& items = {})
{
    return ValueQuestion{"Tolerance", defaultText, kind, lower, upper, items};
}

} // namespace

TEST_F(TUserValueFormTest, TypingReplacesTheSelectedDefault)
{
    TUserValueForm form;
    bool checked = false;
    whenShown([&] {
        EXPECT_EQ(form.windowTitle(), LoadLocalizedString(TextId::UserValueCaption));
        EXPECT_EQ(form.FieldPrompt->text(), "Tolerance");
        EXPECT_TRUE(form.EditField->isVisible());
        EXPECT_FALSE(form.Usermenu->isVisible());
        EXPECT_EQ(form.EditField->selectedText(), "2.50");
        EXPECT_EQ(form.LowerLimit, 0);
        EXPECT_EQ(form.UpperLimit, NoLimit);
        checked = true;
        QTest::keyClicks(form.EditField, "3.75");
        QTest::keyClick(form.EditField, Qt::Key_Return);
    });
    EXPECT_EQ(form.ask(question(UserFieldKind::DOUBLE, "2.50", "0", "")), "3.75");
    EXPECT_TRUE(checked);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(TUserValueFormTest, InvalidEntryKeepsTheDialogOpen)
{
    struct Case
    {
        const char* name;
        ValueQuestion question;
        QString invalid;
        QString message; // part of the box's text
        QString valid;
    };
    const Case cases[] = {
        {"decimal outside its limits", question(UserFieldKind::DOUBLE, "1", "0", "100"), "100.5",
         "The entered value is outside the valid range 0.000 to 100.000", " 99 "},
        {"text holding NUL", question(UserFieldKind::STRING, "abc"), QStringLiteral("a") + QChar(0) + u'b',
         "U+0000 at position 2", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TUserValueForm form;
        QString boxText;
        bool stillOpen = false;
        whenShown([&] {
            form.EditField->setText(c.invalid);
            whenShown([&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                boxText = box->text();
                EXPECT_EQ(box->windowTitle(), "Error");
                box->accept();
                whenShown([&] {
                    stillOpen = form.isVisible();
                    EXPECT_EQ(QApplication::activeModalWidget(), &form);
                    EXPECT_EQ(form.EditField->selectedText(), c.invalid);
                    form.EditField->setText(c.valid);
                    form.OKBtn->click();
                });
            });
            form.OKBtn->click();
        });
        EXPECT_EQ(form.ask(c.question), c.valid);
        EXPECT_TRUE(stillOpen);
        EXPECT_TRUE(boxText.contains(c.message)) << boxText.toStdString();
    }
}

TEST_F(TUserValueFormTest, EscapeCancels)
{
    TUserValueForm form;
    whenShown([&] { QTest::keyClick(form.EditField, Qt::Key_Escape); });
    EXPECT_FALSE(form.ask(question(UserFieldKind::STRING, "abc")));
    EXPECT_FALSE(form.isVisible());

    whenShown([&] { form.CancelBtn->click(); });
    EXPECT_FALSE(form.ask(question(UserFieldKind::STRING, "abc")));
}

TEST_F(TUserValueFormTest, MenuReturnsTheChosenItem)
{
    TUserValueForm form;
    whenShown([&] {
        EXPECT_FALSE(form.EditField->isVisible());
        EXPECT_TRUE(form.Usermenu->isVisible());
        EXPECT_EQ(form.Usermenu->geometry(), QRect(15, 29, 250, 21));
        EXPECT_TRUE(form.Usermenu->hasFocus());
        EXPECT_EQ(form.Usermenu->currentText(), " Ramp A ");
        QTest::keyClick(form.Usermenu, Qt::Key_Down);
        QTest::keyClick(form.Usermenu, Qt::Key_Return);
    });
    const QStringList items = {"Main Road", " Ramp A ", "Ramp B"};
    EXPECT_EQ(form.ask(question(UserFieldKind::STRINGMENU, "ramp a", "0", "0", items)), "Ramp B");

    // Neither OK nor the default can answer a menu without a chosen item.
    bool stillOpen = false;
    whenShown([&] {
        EXPECT_EQ(form.Usermenu->currentIndex(), -1);
        form.OKBtn->click();
        stillOpen = form.isVisible();
        form.Usermenu->setCurrentIndex(0);
        form.OKBtn->click();
    });
    EXPECT_EQ(form.ask(question(UserFieldKind::STRINGMENU, "Bridge", "0", "0", items)), "Main Road");
    EXPECT_TRUE(stillOpen);
}

TEST_F(TUserValueFormTest, ControlsAndTabOrder)
{
    TUserValueForm form;
    EXPECT_EQ(form.OKBtn->text(), LoadLocalizedString(TextId::OK));
    EXPECT_EQ(form.CancelBtn->text(), LoadLocalizedString(TextId::Cancel));
    EXPECT_TRUE(form.OKBtn->isDefault());
    EXPECT_EQ(form.size(), QSize(285, 102));
    for (const char* name : {"FieldPrompt", "EditField", "Usermenu", "OKBtn", "CancelBtn"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;

    QStringList order;
    whenShown([&] {
        for (int i = 0; i < 4; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        form.reject();
    });
    form.ask(question(UserFieldKind::INTEGER, "5"));
    EXPECT_EQ(order, QStringList({"EditField", "OKBtn", "CancelBtn", "EditField"}));
}

TEST_F(TUserValueFormTest, CentredOnItsWindowEveryTimeWithTheFieldAcrossItsWidth)
{
    QWidget owner;
    owner.setGeometry(100, 80, 700, 500);
    owner.show();
    TUserValueForm form(&owner);
    struct Row
    {
        const char* name;
        QString prompt;
    };
    const Row rows[] = {
        {"short prompt", QStringLiteral("Tolerance")},
        {"the same again", QStringLiteral("Tolerance")},
        {"prompt wider than the dialog",
         QStringLiteral("Height of the instrument above the mark, in metres, ").repeated(2)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        whenShown([&] {
            EXPECT_EQ(form.frameGeometry().center(), owner.frameGeometry().center());
            // The answer field keeps its margins and the buttons stay centred as the dialog widens.
            EXPECT_EQ(form.width() - form.EditField->geometry().right(), 285 - 264);
            EXPECT_EQ(form.EditField->width(), form.Usermenu->width());
            EXPECT_NEAR(form.OKBtn->x(), form.width() - 1 - form.CancelBtn->geometry().right(), 1);
            form.reject();
        });
        ValueQuestion q = question(UserFieldKind::STRING, "x");
        q.prompt = row.prompt;
        form.ask(q);
    }
    EXPECT_GT(form.width(), 285);
    owner.close();
}
