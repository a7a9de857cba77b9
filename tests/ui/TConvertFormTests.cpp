#include "ui/QtInteraction.h"
#include "ui/TConvertForm.h"
#include "ui/THelpForm.h"
#include "ui/WindowPosition.h"

#include "platform/RegistryKey.h"
#include "text/StringTable.h"
#include "widgets/TButtonRow.h"
#include "widgets/TSizingPanel.h"
#include "widgets/TStaticText.h"

#include "ModalDialogs.h"
#include "RecordingShell.h"
#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString Key = QStringLiteral("Software\\Corvane\\Tabulon");

class TConvertFormTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()); }

    void storePosition(const std::optional<QString>& text) const
    {
        const auto key = RegistryKey::open(RegistryRoot::CurrentUser, Key, RegistryAccess::Write);
        ASSERT_NE(key, nullptr);
        key->setString(QStringLiteral("MainDialogPosition"), text.value_or(QString()));
    }

    QString storedValue(const QString& name) const
    {
        const auto key = RegistryKey::open(RegistryRoot::CurrentUser, Key, RegistryAccess::Read);
        const auto value = key ? key->value(name) : std::nullopt;
        return !value                                    ? QStringLiteral("<missing>")
               : value->type == RegistryValueType::DWord ? QString::number(value->number)
                                                         : value->text;
    }

    TestEnvironment env;
};

} // namespace

TEST_F(TConvertFormTest, StoredPositionIsUsedOnlyWhereItShows)
{
    const QRect desktop = VirtualDesktop();
    const QString farEdges = QStringLiteral("%1,%2").arg(desktop.bottom() + 1).arg(desktop.right() + 1);
    struct Row
    {
        const char* name;
        QString stored;
        std::optional<QPoint> expected; // nothing: the window stays where it was created
    };
    const std::vector<Row> rows = {
        {"blanks around the numbers", " 100 ,  200 ", QPoint(200, 100)},
        {"negative and beyond the right edge", "-20,5000", QPoint(0, 0)},
        {"beyond the bottom", "5000,50", QPoint(50, 0)},
        {"no comma", "100;200", std::nullopt},
        {"empty", "", std::nullopt},
        {"on the far edges, wholly off the screens", farEdges, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        storePosition(row.stored);
        TConvertForm form;
        const QPoint created = form.pos();
        form.RestoreWindowPosition();
        EXPECT_EQ(form.pos(), row.expected.value_or(created));
    }
}

TEST_F(TConvertFormTest, EveryCaptionFitsInEachLanguage)
{
    struct Row
    {
        const char* name;
        QString catalogue; // none: the program's own texts
    };
    const std::vector<Row> rows = {
        {"English", QString()},
        {"German", QStringLiteral(TABULON_GERMAN_QM)},
    };
    int englishWidth = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FreeResourceLibrary();
        if (!row.catalogue.isEmpty()) {
            ASSERT_TRUE(LoadResourceLibraryFrom(row.catalogue));
        }
        TConvertForm form;
        form.show();
        for (const TStaticText* label : {form.JobOrSurmexLbl, form.FormatLbl})
            EXPECT_LE(label->geometry().right(), form.SizingPanel1->width() - 1) << label->text().toStdString();
        for (const QPushButton* button : {form.XMLBrowseBtn, form.XSLBrowseBtn}) {
            EXPECT_GE(button->width(), form.SizingPanel2->MeasureButton(*button)) << button->text().toStdString();
            EXPECT_LE(button->geometry().right(), form.SizingPanel2->width() - 1);
        }
        // The browse buttons' panel keeps to the right edge, with the edit box and list left of it.
        EXPECT_EQ(form.Panel1->x(), form.SizingPanel1->width());
        EXPECT_EQ(form.Panel1->geometry().right(), form.width() - 1);
        EXPECT_EQ(form.SizingPanel2->geometry().right(), form.Panel1->width() - 1);
        EXPECT_LE(form.SurmexFileEditBox->geometry().right(), form.SizingPanel2->x());
        for (const QPushButton* button : {form.OKBtn, form.CloseBtn, form.HelpBtn}) {
            EXPECT_GE(button->x(), 0);
            EXPECT_LE(button->geometry().right(), form.width() - 1);
        }
        if (row.catalogue.isEmpty())
            englishWidth = form.width();
        else
            EXPECT_GT(form.width(), englishWidth);
        form.close();
    }
    FreeResourceLibrary();
}

TEST_F(TConvertFormTest, EveryUnderlinedLetterActsInEachLanguage)
{
    for (const QString& catalogue : {QString(), QStringLiteral(TABULON_GERMAN_QM)}) {
        SCOPED_TRACE(catalogue.isEmpty() ? "English" : "German");
        FreeResourceLibrary();
        if (!catalogue.isEmpty()) {
            ASSERT_TRUE(LoadResourceLibraryFrom(catalogue));
        }
        TConvertForm form;
        form.show();
        QString modalSeen;
        // Presses Alt and the caption's underlined letter, as a user would, and waits for done.
        const auto press = [&form](const QString& caption, const std::function<bool()>& done) {
            SCOPED_TRACE(caption.toStdString());
            const qsizetype amp = caption.indexOf(u'&');
            ASSERT_GE(amp, 0);
            QApplication::setActiveWindow(&form);
            QTest::keyClick(&form, caption.at(amp + 1).toLower().toLatin1(), Qt::AltModifier);
            EXPECT_TRUE(QTest::qWaitFor(done, 2000));
        };
        const auto closeModal = [&modalSeen] {
            whenModal([&modalSeen](QWidget* modal) {
                modalSeen = QString::fromLatin1(modal->metaObject()->className()) + u'|' + modal->objectName();
                qobject_cast<QDialog*>(modal)->reject();
            });
        };
        press(form.JobOrSurmexLbl->text(), [&] { return form.SurmexFileEditBox->hasFocus(); });
        press(form.FormatLbl->text(), [&] { return form.StyleSheetCombo->hasFocus(); });
        press(form.ViewFileCheckBox->text(), [&] { return form.ViewFileCheckBox->isChecked(); });
        closeModal();
        press(form.XMLBrowseBtn->text(), [&] { return modalSeen == QStringLiteral("QFileDialog|XMLOpenDialog"); });
        closeModal();
        // The folder browser's dialog is Qt's, named after its class.
        press(form.XSLBrowseBtn->text(), [&] { return modalSeen == QStringLiteral("QFileDialog|QFileDialog"); });
        press(form.HelpBtn->text(), [&] { return !form.findChildren<THelpForm*>().isEmpty(); });
        form.close();
    }
    FreeResourceLibrary();
}

TEST_F(TConvertFormTest, EscapeClosesAndSaves)
{
    const QString source = env.writeFile(QStringLiteral("job.smx"), "<Job/>");
    {
        TConvertForm form;
        form.show();
        form.move(30, 40);
        QTest::keyClicks(form.SurmexFileEditBox, source);
        QTest::keyClick(form.ViewFileCheckBox, Qt::Key_Space);
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    }
    EXPECT_EQ(storedValue(QStringLiteral("MainDialogPosition")), QStringLiteral("40,30"));
    EXPECT_EQ(storedValue(QStringLiteral("JobOrSurmexFile")), source);
    EXPECT_EQ(storedValue(QStringLiteral("ViewGeneratedFile")), QStringLiteral("1"));
}

TEST_F(TConvertFormTest, EachHelpRequestOpensAnotherHelpWindow)
{
    TConvertForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    QTest::mouseClick(form.HelpBtn, Qt::LeftButton);
    QApplication::setActiveWindow(&form);
    QTest::keyClick(&form, Qt::Key_F1);
    const auto helps = form.findChildren<THelpForm*>();
    ASSERT_EQ(helps.size(), 2);
    EXPECT_TRUE(helps.at(0)->isVisible() && helps.at(1)->isVisible());
    EXPECT_FALSE(helps.at(0)->isModal());
    form.close();
}

TEST_F(TConvertFormTest, SourceDialogRemembersTheFileTypeAlsoWhenCancelled)
{
    const QString source = env.writeFile(QStringLiteral("field.job"), "job");
    TConvertForm form;
    form.show();
    QString offered;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        offered = dialog->selectedNameFilter();
        dialog->selectNameFilter(dialog->nameFilters().value(1));
        dialog->reject();
    });
    QTest::mouseClick(form.XMLBrowseBtn, Qt::LeftButton);
    EXPECT_TRUE(offered.startsWith(QStringLiteral("Surmex files"))) << offered.toStdString();
    EXPECT_EQ(form.SourceFilterIndex, 2);
    EXPECT_TRUE(form.SurmexFileEditBox->text().isEmpty());

    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        offered = dialog->selectedNameFilter();
        // Typed, as a user does: the dialog selects a file in its list only once it has read the folder.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        name->setText(source);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(form.XMLBrowseBtn, Qt::LeftButton);
    EXPECT_EQ(offered, QStringLiteral("Job files (*.job)"));
    EXPECT_EQ(form.SurmexFileEditBox->text(), source);
    form.close();
}

TEST_F(TConvertFormTest, BrowsingForTheStyleSheetFolder)
{
    env.writeFile(QStringLiteral("one/points.xsl"), "<x/>");
    env.writeFile(QStringLiteral("two/points.xslt"), "<x/>");
    env.writeFile(QStringLiteral("two/areas.xsl"), "<x/>");
    const QString one = env.root() + QStringLiteral("/one/");
    const QString two = env.root() + QStringLiteral("/two");
    TConvertForm form;
    form.show();
    form.StyleSheetFolder = one;
    form.StyleSheetPath = one + QStringLiteral("points.xsl");
    form.BuildStyleSheetList();

    QString startedIn;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        startedIn = QDir::cleanPath(dialog->directory().absolutePath());
        dialog->reject();
    });
    QTest::mouseClick(form.XSLBrowseBtn, Qt::LeftButton);
    EXPECT_EQ(startedIn, QDir::cleanPath(one));
    EXPECT_EQ(form.StyleSheetFolder, one);

    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        name->setText(two);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(form.XSLBrowseBtn, Qt::LeftButton);
    EXPECT_EQ(form.StyleSheetFolder, two + u'/');
    EXPECT_EQ(form.StyleSheetCombo->currentText(), QStringLiteral("points"));
    EXPECT_EQ(form.StyleSheetPath, two + QStringLiteral("/points.xslt"));
    form.close();
}

TEST_F(TConvertFormTest, GeneratesAReportFromTheWindow)
{
    const QString source =
        env.writeFile(QStringLiteral("site.smx"), "<Job><Point name=\"P1\"/><Point name=\"P2\"/></Job>");
    const QString sheet =
        env.writeFile(QStringLiteral("sheets/points.xsl"),
                      R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:variable name="fileExt" select="'csv'"/>
<xsl:template match="/"><xsl:for-each select="Job/Point"><xsl:value-of select="@name"/>;</xsl:for-each></xsl:template>
</xsl:stylesheet>)~");
    const QString output = env.root() + QStringLiteral("/report.csv");

    TConvertForm form;
    QtInteraction ui(form, nullptr);
    RecordingShell shell;
    form.setServices(&ui, &shell);
    form.show();
    form.StyleSheetFolder = env.root() + QStringLiteral("/sheets/");
    form.BuildStyleSheetList();

    QTest::keyClicks(form.SurmexFileEditBox, source);
    form.StyleSheetCombo->setFocus();
    QTest::keyClick(form.StyleSheetCombo, Qt::Key_End);
    EXPECT_EQ(form.StyleSheetCombo->currentText(), QStringLiteral("points"));
    EXPECT_EQ(form.StyleSheetPath, sheet);

    QString proposed;
    QString reported;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        proposed = dialog->selectedFiles().value(0);
        dialog->selectFile(output);
        QMetaObject::invokeMethod(dialog, "accept");
        whenModal([&](QWidget* next) {
            auto* box = qobject_cast<QMessageBox*>(next);
            ASSERT_TRUE(box);
            reported = box->text();
            box->button(QMessageBox::Ok)->click();
        });
    });
    QTest::mouseClick(form.OKBtn, Qt::LeftButton);

    EXPECT_TRUE(proposed.endsWith(QStringLiteral("/site.csv"))) << proposed.toStdString();
    EXPECT_TRUE(reported.contains(output)) << reported.toStdString();
    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("P1;P2;"));
    EXPECT_TRUE(shell.opened.isEmpty());
    form.close();
}
