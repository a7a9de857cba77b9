#include "ui/QtInteraction.h"
#include "ui/TConvertForm.h"

#include "platform/Shell.h"

#include "ModalDialogs.h"
#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <gtest/gtest.h>

namespace {

struct NoShell : Shell
{
    bool openDocument(const QString&) override { return false; }
    bool runProgram(const QString&, const QString&) override { return false; }
};

class QtInteractionTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        form.reset();
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    }

    TestEnvironment env;
    std::unique_ptr<TConvertForm> form = std::make_unique<TConvertForm>();
    QtInteraction ui{*form, nullptr};
};

} // namespace

TEST_F(QtInteractionTest, MessageBoxesCarryTheirCaptionAndIcon)
{
    struct Case
    {
        MessageKind kind;
        QString caption;
        QMessageBox::Icon icon;
    };
    for (const Case& c : {Case{MessageKind::Error, QStringLiteral("Error"), QMessageBox::Critical},
                          Case{MessageKind::Warning, QStringLiteral("Warning"), QMessageBox::Warning},
                          Case{MessageKind::Information, QStringLiteral("Information"), QMessageBox::Information},
                          Case{MessageKind::Plain, QStringLiteral("Tabulon"), QMessageBox::NoIcon},
                          Case{MessageKind::Failure, QStringLiteral("Tabulon"), QMessageBox::Critical}}) {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::Question;
        whenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_TRUE(box);
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        ui.showMessage(c.kind, QStringLiteral("line one\r\nline two"));
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(text, QStringLiteral("line one\r\nline two"));
    }
}

TEST_F(QtInteractionTest, SaveDialogIsSetUpAndAnswers)
{
    SaveFileRequest request{QStringLiteral("csv"), env.root() + QStringLiteral("/site.csv"),
                            QStringLiteral("points files (*.csv)"), QStringLiteral("*.csv")};
    QStringList filters;
    QString suffix;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = ui.askSaveFile(request);
    EXPECT_EQ(filters, QStringList{QStringLiteral("points files (*.csv)")});
    EXPECT_EQ(suffix, QStringLiteral("csv"));
    EXPECT_EQ(chosen, env.root() + QStringLiteral("/site.csv"));

    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(ui.askSaveFile(request), std::nullopt);
}

TEST_F(QtInteractionTest, FailureInTheDialogIsShownWithTheApplicationTitle)
{
    NoShell shell;
    form->setServices(&ui, &shell);
    form->SurmexFileEditBox->setText(env.writeFile(QStringLiteral("a.smx"), "<a/>"));
    form->StyleSheetPath = env.writeFile(
        QStringLiteral("s.xsl"), R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:value-of select="undefined-function()"/></xsl:template></xsl:stylesheet>)~");
    form->StyleSheetCombo->clear();
    form->StyleSheetCombo->addItem(QStringLiteral("s"));
    QString caption;
    QString text;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        caption = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(form->OKBtnClick(), GenerateOutcome::NotWritten);
    EXPECT_EQ(caption, QStringLiteral("Tabulon"));
    EXPECT_TRUE(text.contains(QStringLiteral("undefined-function"))) << text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
