#include "widgets/TBrowseFolder.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `step` on the folder browser once its modal loop is running.
void whileOpen(std::function<void(QFileDialog&)> step)
{
    QTimer::singleShot(0, qApp, [step = std::move(step)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no folder browser is open";
            return;
        }
        step(*dialog);
    });
}

QPushButton* okButton(QFileDialog& dialog)
{
    auto* box = dialog.findChild<QDialogButtonBox*>();
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
            return qobject_cast<QPushButton*>(button);
    }
    return nullptr;
}

// What a user does by typing into the dialog's name box; typing there drops the list's selection.
void typeName(QFileDialog& dialog, const QString& name)
{
    auto* nameBox = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QApplication::setActiveWindow(&dialog);
    nameBox->setFocus();
    nameBox->setText(name);
}

QString shownFolder(const QFileDialog& dialog)
{
    return QDir::cleanPath(dialog.directory().absolutePath());
}

class TBrowseFolderTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()); }

    QString makeFolder(const QString& relativePath) const
    {
        const QString path = QDir::cleanPath(env.root() + u'/' + relativePath);
        QDir().mkpath(path);
        return path;
    }

    TestEnvironment env;
    TBrowseFolder browser;
};

} // namespace

TEST(ShortenPath, KeepsTheFirstAndAsManyLastComponentsAsFit)
{
    struct Case
    {
        const char* name;
        QString path;
        QString separator;
        QString expected;
    };
    const QString bs = QStringLiteral("\\");
    const QString slash = QStringLiteral("/");
    const Case cases[] = {
        {"long path", QStringLiteral(R"(C:\Data\Projects\Road Survey\Style Sheets\Reports)"), bs,
         QStringLiteral(R"(C:\...\Style Sheets\Reports)")},
        {"35 characters unchanged", QStringLiteral(R"(C:\Data\Projects\Road Survey\Styles)"), bs,
         QStringLiteral(R"(C:\Data\Projects\Road Survey\Styles)")},
        {"three components", QStringLiteral(R"(C:\A folder name far too long to show in full\x)"), bs,
         QStringLiteral(R"(C:\...\x)")},
        {"many short components", QStringLiteral(R"(D:\one\two\three\four\five\six\seven\eight)"), bs,
         QStringLiteral(R"(D:\...\four\five\six\seven\eight)")},
        {"two components unchanged", QStringLiteral(R"(C:\A folder name far too long to show in full)"), bs,
         QStringLiteral(R"(C:\A folder name far too long to show in full)")},
        {"trailing separator", QStringLiteral(R"(C:\Data\Projects\Road Survey\Style Sheets\Reports\)"), bs,
         QStringLiteral(R"(C:\...\Style Sheets\Reports\)")},
        {"stops when it fits exactly", QStringLiteral("/home/surveyor/projects/road survey/style sheet/report"), slash,
         QStringLiteral("/.../road survey/style sheet/report")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TBrowseFolder::ShortenPath(c.path, c.separator, QStringLiteral("..."), 35), c.expected);
    }
}

TEST_F(TBrowseFolderTest, ExecuteReturnsTheFolderChosenWithOk)
{
    const QString styles = makeFolder(QStringLiteral("styles"));
    const QString reports = makeFolder(QStringLiteral("styles/reports"));
    browser.setDirectory(styles);
    browser.setTitle(QStringLiteral("Pick the folder"));
    QString shown;
    QString title;
    whileOpen([&](QFileDialog& dialog) {
        shown = shownFolder(dialog);
        title = dialog.findChild<QLabel*>(QStringLiteral("Title"))->text();
        typeName(dialog, QStringLiteral("reports"));
        okButton(dialog)->click();
    });
    EXPECT_TRUE(browser.Execute());
    EXPECT_EQ(shown, styles);
    EXPECT_EQ(title, QStringLiteral("Pick the folder"));
    EXPECT_EQ(browser.Directory(), QDir::toNativeSeparators(reports));
    EXPECT_EQ(browser.CurrentPath(), browser.Directory());
    EXPECT_EQ(browser.DisplayName(), QStringLiteral("reports"));
}

TEST_F(TBrowseFolderTest, CancelLeavesDirectoryAndAMissingFolderIsNotPreselected)
{
    const QString missing = env.root() + QStringLiteral("/no such folder");
    browser.setDirectory(missing);
    QString shown;
    whileOpen([&](QFileDialog& dialog) {
        shown = shownFolder(dialog);
        dialog.reject();
    });
    EXPECT_FALSE(browser.Execute());
    EXPECT_EQ(shown, QDir::cleanPath(env.home()));
    EXPECT_EQ(browser.Directory(), missing);
}

TEST_F(TBrowseFolderTest, StatusAreaShowsTheShortenedSelection)
{
    const QString deep = makeFolder(QStringLiteral("Data/Projects/Road Survey/Style Sheets/Reports"));
    struct Case
    {
        const char* name;
        TBrowseFolder::TBrowseInfoFlagSet flags;
        bool showPath;
        std::optional<QString> status; // none: no status area at all
    };
    const Case cases[] = {
        {"status area with path", TBrowseFolder::bfStatusText, true, QStringLiteral("/.../Style Sheets/Reports")},
        {"status area without path", TBrowseFolder::bfStatusText, false, QString()},
        {"no status area", {}, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browser.setFlags(c.flags);
        browser.setShowPathInStatusArea(c.showPath);
        browser.setDirectory(deep);
        std::optional<QString> status;
        QString statusForMissing;
        whileOpen([&](QFileDialog& dialog) {
            if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("StatusText"))) {
                status = label->text();
                typeName(dialog, QStringLiteral("missing"));
                statusForMissing = label->text();
            }
            dialog.reject();
        });
        browser.Execute();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(statusForMissing, QString());
    }
}

TEST_F(TBrowseFolderTest, OkIsEnabledOnlyForFoldersAndTheSynchronisedButtonFollows)
{
    const QString styles = makeFolder(QStringLiteral("styles"));
    makeFolder(QStringLiteral("styles/reports"));
    for (const bool sync : {true, false}) {
        SCOPED_TRACE(sync ? "synchronised" : "independent");
        browser.setDirectory(styles);
        browser.setCustomButtonVisible(true);
        browser.setCustomButtonEnabled(true);
        browser.setSyncCustomButton(sync);
        std::vector<std::pair<bool, bool>> states; // OK, extra button
        whileOpen([&](QFileDialog& dialog) {
            auto* custom = dialog.findChild<QPushButton*>(QStringLiteral("CustomButton"));
            const auto record = [&] { states.emplace_back(okButton(dialog)->isEnabled(), custom->isEnabled()); };
            record();
            typeName(dialog, QStringLiteral("missing"));
            record();
            EXPECT_EQ(browser.CurrentPath(), QString());
            typeName(dialog, QStringLiteral("reports"));
            record();
            typeName(dialog, QStringLiteral("missing"));
            dialog.reject();
        });
        EXPECT_FALSE(browser.Execute());
        const std::vector<std::pair<bool, bool>> expected{{true, true}, {false, !sync}, {true, true}};
        EXPECT_EQ(states, expected);
        EXPECT_EQ(browser.CustomButtonEnabled(), !sync);
    }
}

TEST_F(TBrowseFolderTest, ExtraButtonFollowsItsPropertiesAndReportsClicks)
{
    browser.setCustomButtonVisible(true);
    browser.setCustomButtonCaption(QStringLiteral("New folder"));
    browser.setCustomButtonEnabled(false);
    browser.setCustomButtonWidth(0);
    QSignalSpy clicks(&browser, &TBrowseFolder::OnCustomButtonClick);
    QFileDialog* open = nullptr;
    QString captionLater;
    int width = 0;
    bool enabledAtFirst = true;
    whileOpen([&](QFileDialog& dialog) {
        open = &dialog;
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("CustomButton"));
        width = button->width();
        enabledAtFirst = button->isEnabled();
        browser.setCustomButtonCaption(QStringLiteral("Open in viewer"));
        captionLater = button->text();
        browser.setCustomButtonEnabled(true);
        button->click();
        dialog.reject();
    });
    browser.Execute();
    EXPECT_EQ(width, 75);
    EXPECT_FALSE(enabledAtFirst);
    EXPECT_EQ(captionLater, QStringLiteral("Open in viewer"));
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].value<TBrowseFolder*>(), &browser);
    EXPECT_EQ(clicks[0][1].value<QFileDialog*>(), open);

    browser.setCustomButtonVisible(false);
    bool hasButton = true;
    whileOpen([&](QFileDialog& dialog) {
        hasButton = dialog.findChild<QPushButton*>(QStringLiteral("CustomButton")) != nullptr;
        dialog.reject();
    });
    browser.Execute();
    EXPECT_FALSE(hasButton);
}

TEST_F(TBrowseFolderTest, EventsCarryTheComponentTheDialogAndTheSelection)
{
    const QString styles = makeFolder(QStringLiteral("styles"));
    browser.setDirectory(styles);
    QSignalSpy initialized(&browser, &TBrowseFolder::OnInitialized);
    QSignalSpy selections(&browser, &TBrowseFolder::OnSelectionChanged);
    QFileDialog* open = nullptr;
    whileOpen([&](QFileDialog& dialog) {
        open = &dialog;
        dialog.reject();
    });
    browser.Execute();
    ASSERT_EQ(initialized.count(), 1);
    EXPECT_EQ(initialized[0][0].value<TBrowseFolder*>(), &browser);
    EXPECT_EQ(initialized[0][1].value<QFileDialog*>(), open);
    ASSERT_EQ(selections.count(), 1);
    EXPECT_EQ(selections[0][0].value<TBrowseFolder*>(), &browser);
    EXPECT_EQ(selections[0][1].value<QFileDialog*>(), open);
    EXPECT_EQ(selections[0][2].toUrl(), QUrl::fromLocalFile(styles));
    EXPECT_EQ(selections[0][3].toByteArray(), QFile::encodeName(QDir::toNativeSeparators(styles)));
    EXPECT_EQ(browser.DialogHandle(), nullptr);
}

TEST_F(TBrowseFolderTest, RootFolderKeepsTheBrowserBelowIt)
{
    const QString desktop = makeFolder(QStringLiteral("home/Desktop"));
    const QString outside = makeFolder(QStringLiteral("elsewhere"));
    struct Case
    {
        const char* name;
        TBrowseFolder::TSHFolders root;
        QString start;
        QString afterLeaving;
    };
    const Case cases[] = {
        {"desktop folder", TBrowseFolder::foDesktopDirectory, desktop, desktop},
        {"no file-system counterpart", TBrowseFolder::foRecycleBin, outside, outside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browser.setRootFolder(c.root);
        browser.setDirectory(outside);
        QString start;
        QString afterLeaving;
        whileOpen([&](QFileDialog& dialog) {
            start = shownFolder(dialog);
            dialog.setDirectory(env.root());
            typeName(dialog, QStringLiteral("elsewhere"));
            QCoreApplication::processEvents();
            afterLeaving = browser.CurrentPath();
            dialog.reject();
        });
        browser.Execute();
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(afterLeaving, QDir::toNativeSeparators(c.afterLeaving));
    }
}

TEST_F(TBrowseFolderTest, OpensOverTheActiveWindowAQuarterDown)
{
    QWidget owner;
    owner.setGeometry(100, 80, 600, 400);
    owner.show();
    QApplication::setActiveWindow(&owner);
    browser.setOwnerHandle(&owner);
    QPoint position;
    QSize size;
    QWidget* parent = nullptr;
    whileOpen([&](QFileDialog& dialog) {
        position = dialog.frameGeometry().topLeft();
        size = dialog.frameGeometry().size();
        parent = dialog.parentWidget();
        dialog.reject();
    });
    browser.Execute();
    const QRect frame = owner.frameGeometry();
    EXPECT_EQ(position, QPoint(frame.left() + frame.width() / 2 - size.width() / 2, frame.top() + frame.height() / 4));
    EXPECT_EQ(parent, &owner);
}
