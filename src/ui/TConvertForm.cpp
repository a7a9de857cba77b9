#include "ui/TConvertForm.h"

#include "platform/Paths.h"
#include "platform/RegistryKey.h"
#include "session/SettingsKey.h"
#include "text/StringTable.h"
#include "text/TextIds.h"
#include "ui/THelpForm.h"
#include "ui/WindowPosition.h"
#include "widgets/FileDialogColumns.h"
#include "widgets/TBrowseFolder.h"
#include "widgets/TButtonRow.h"
#include "widgets/TSizingPanel.h"
#include "widgets/TStaticText.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace {

constexpr QPoint DesignPosition(292, 210);
constexpr QSize DesignClientSize(487, 153);

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The open dialog's filter is stored as description|pattern pairs; Qt wants "description (patterns)".
// "*.*" means every file there, but only names with a dot here.
QStringList openDialogFilters(const QString& pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        if (patterns.trimmed() == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        filters << parts.at(i) + QStringLiteral(" (") + patterns + u')';
    }
    return filters;
}

} // namespace

TConvertForm::TConvertForm(RunMode mode, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , ConvertFormState(mode)
{
    setObjectName(QStringLiteral("ConvertForm"));
    createControls();
    FormCreate();
}

void TConvertForm::createControls()
{
    // The sizing panels widen a fixed-size window through its fixed width; the user cannot.
    setFixedSize(DesignClientSize);
    move(DesignPosition);

    createLabelPanel();
    createFieldPanel();
    createButtonRow();
    ViewFileCheckBox = named(new QCheckBox(this), "ViewFileCheckBox");
    ViewFileCheckBox->setGeometry(8, 85, 241, 17);
    StyleSheetFldr = new TBrowseFolder(this);
    StyleSheetFldr->setObjectName(QStringLiteral("StyleSheetFldr"));

    orderTabs();
    SizingPanel1->installEventFilter(this);
    SizingPanel2->installEventFilter(this);
    connectControls();
}

// The left column: the fields' labels on the panel that widens the window.
void TConvertForm::createLabelPanel()
{
    SizingPanel1 = named(new TSizingPanel(this), "SizingPanel1");
    SizingPanel1->setGeometry(0, 0, 153, 153);
    SizingPanel1->setCanSizeForm(true);
    JobOrSurmexLbl = named(new TStaticText(QString(), SizingPanel1), "JobOrSurmexLbl");
    JobOrSurmexLbl->setGeometry(8, 19, 131, 17);
    FormatLbl = named(new TStaticText(QString(), SizingPanel1), "FormatLbl");
    FormatLbl->setGeometry(8, 50, 71, 17);
}

// The source and style sheet fields with their browse buttons.
void TConvertForm::createFieldPanel()
{
    Panel1 = named(new QWidget(this), "Panel1");
    Panel1->setGeometry(153, 0, 334, 153);
    SizingPanel2 = named(new TSizingPanel(Panel1), "SizingPanel2");
    SizingPanel2->setGeometry(241, 0, 93, 153);
    SizingPanel2->setCanSizeForm(true);
    XMLBrowseBtn = named(new QPushButton(SizingPanel2), "XMLBrowseBtn");
    XMLBrowseBtn->setGeometry(6, 13, 75, 25);
    XSLBrowseBtn = named(new QPushButton(SizingPanel2), "XSLBrowseBtn");
    XSLBrowseBtn->setGeometry(6, 45, 75, 25);
    SurmexFileEditBox = named(new QLineEdit(Panel1), "SurmexFileEditBox");
    SurmexFileEditBox->setGeometry(8, 14, 225, 21);
    StyleSheetCombo = named(new QComboBox(Panel1), "StyleSheetCombo");
    StyleSheetCombo->setGeometry(8, 48, 225, 21);
    StyleSheetCombo->setEditable(false);
    // The labels' underlined letters move to the fields they name.
    JobOrSurmexLbl->setBuddy(SurmexFileEditBox);
    FormatLbl->setBuddy(StyleSheetCombo);
}

void TConvertForm::createButtonRow()
{
    ButtonRow1 = named(new TButtonRow(this), "ButtonRow1");
    ButtonRow1->setGeometry(0, 112, 489, 41);
    ButtonRow1->setButtonSpacing(20);
    ButtonRow1->setGroupAlignment(TButtonRow::taCenter);
    OKBtn = named(new QPushButton(ButtonRow1), "OKBtn");
    OKBtn->setGeometry(112, 9, 75, 25);
    OKBtn->setDefault(true);
    CloseBtn = named(new QPushButton(ButtonRow1), "CloseBtn");
    CloseBtn->setGeometry(208, 9, 75, 25);
    HelpBtn = named(new QPushButton(ButtonRow1), "HelpBtn");
    HelpBtn->setGeometry(304, 9, 75, 25);
}

void TConvertForm::orderTabs()
{
    setTabOrder(OKBtn, CloseBtn);
    setTabOrder(CloseBtn, HelpBtn);
    setTabOrder(HelpBtn, SurmexFileEditBox);
    setTabOrder(SurmexFileEditBox, StyleSheetCombo);
    setTabOrder(StyleSheetCombo, XMLBrowseBtn);
    setTabOrder(XMLBrowseBtn, XSLBrowseBtn);
    setTabOrder(XSLBrowseBtn, ViewFileCheckBox);
    OKBtn->setFocus();
}

void TConvertForm::connectControls()
{
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(XMLBrowseBtn, &QPushButton::clicked, this, &TConvertForm::XMLBrowseBtnClick);
    connect(XSLBrowseBtn, &QPushButton::clicked, this, &TConvertForm::XSLBrowseBtnClick);
    connect(HelpBtn, &QPushButton::clicked, this, &TConvertForm::HelpBtnClick);
    // F1 is taken here, so no other help system sees it.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &TConvertForm::FormHelp);
    connect(StyleSheetCombo, &QComboBox::activated, this, [this] { StyleSheetComboChange(); });
}

void TConvertForm::FormCreate()
{
    setWindowTitle(LoadLocalizedString(TextId::MainCaption));
    JobOrSurmexLbl->setText(LoadLocalizedString(TextId::SourceLabel));
    FormatLbl->setText(LoadLocalizedString(TextId::FormatLabel));
    XMLBrowseBtn->setText(LoadLocalizedString(TextId::SourceBrowse));
    XSLBrowseBtn->setText(LoadLocalizedString(TextId::FolderBrowse));
    ViewFileCheckBox->setText(LoadLocalizedString(TextId::ViewFileCheck));
    OKBtn->setText(LoadLocalizedString(TextId::OK));
    CloseBtn->setText(LoadLocalizedString(TextId::Close));
    HelpBtn->setText(LoadLocalizedString(TextId::Help));
    StyleSheetFldr->setTitle(LoadLocalizedString(TextId::SelectStyleSheetFolder));

    StyleSheetFolder.clear();
    StyleSheetPath.clear();
    SourceFilterIndex = 1;
    LoadSettings();
    OutputFileName.clear();
}

void TConvertForm::FormShow()
{
    // A panel that widened while being shown got its new width without a resize event.
    alignPanels();
    RestoreWindowPosition();
}

void TConvertForm::FormClose()
{
    SaveWindowPosition();
    SaveSettings();
}

void TConvertForm::FormHelp()
{
    HelpBtnClick();
}

void TConvertForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TConvertForm::closeEvent(QCloseEvent* event)
{
    // Not QDialog's handler: it would reject(), which closes again.
    FormClose();
    event->accept();
}

void TConvertForm::reject()
{
    close();
}

void TConvertForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    alignPanels();
}

bool TConvertForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && (watched == SizingPanel1 || watched == SizingPanel2))
        alignPanels();
    return QDialog::eventFilter(watched, event);
}

// The first panel keeps to the left edge, the second fills the rest and keeps its own second panel
// at its right edge, and the button row and browse buttons stretch with their parents.
void TConvertForm::alignPanels()
{
    const int clientWidth = width();
    const int clientHeight = height();
    SizingPanel1->setGeometry(0, 0, SizingPanel1->width(), clientHeight);
    Panel1->setGeometry(SizingPanel1->width(), 0, clientWidth - SizingPanel1->width(), clientHeight);
    SizingPanel2->setGeometry(Panel1->width() - SizingPanel2->width(), 0, SizingPanel2->width(), Panel1->height());
    ButtonRow1->resize(clientWidth + 2, ButtonRow1->height());
    for (QPushButton* button : {XMLBrowseBtn, XSLBrowseBtn})
        button->resize(SizingPanel2->width() - button->x() - 12, button->height());
}

QString TConvertForm::startFolder() const
{
    const QString source = sourcePath().trimmed();
    const QFileInfo folder(QFileInfo(source).absolutePath());
    return !source.isEmpty() && folder.isDir() ? folder.absoluteFilePath() : QDir::homePath();
}

// The dialogs live as long as the window and then remember where the user went; they first open
// where the user's files are, not in whatever folder the program was started from.
QFileDialog* TConvertForm::newFileDialog(const char* name)
{
    auto* dialog = named(new QFileDialog(this, QString(), startFolder()), name);
    FitFileDialogColumns(*dialog);
    return dialog;
}

QFileDialog* TConvertForm::xmlOpenDialog()
{
    if (!XMLOpenDialog) {
        XMLOpenDialog = newFileDialog("XMLOpenDialog");
        XMLOpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
        XMLOpenDialog->setFileMode(QFileDialog::ExistingFile);
    }
    return XMLOpenDialog;
}

QFileDialog* TConvertForm::fileOpenDialog()
{
    if (!FileOpenDialog)
        FileOpenDialog = newFileDialog("FileOpenDialog");
    return FileOpenDialog;
}

QFileDialog* TConvertForm::saveDialog()
{
    if (!SaveDialog1)
        SaveDialog1 = newFileDialog("SaveDialog1");
    return SaveDialog1;
}

void TConvertForm::XMLBrowseBtnClick()
{
    QFileDialog& dialog = *xmlOpenDialog();
    const QStringList filters = openDialogFilters(LoadLocalizedString(TextId::SourceFileFilter));
    dialog.setNameFilters(filters);
    if (SourceFilterIndex >= 1 && SourceFilterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(SourceFilterIndex - 1));

    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SurmexFileEditBox->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
    // Also after Cancel: the file type the user switched to is offered next time.
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0)
        SourceFilterIndex = static_cast<int>(chosen) + 1;
}

void TConvertForm::XSLBrowseBtnClick()
{
    if (QFileInfo(StyleSheetFolder).isDir())
        StyleSheetFldr->setDirectory(StyleSheetFolder);
    else if (!QFileInfo(StyleSheetFldr->Directory()).isDir())
        StyleSheetFldr->setDirectory(startFolder());
    if (!StyleSheetFldr->Execute())
        return;
    StyleSheetFolder = Paths::withTrailingSeparator(StyleSheetFldr->Directory());
    BuildStyleSheetList();
}

void TConvertForm::HelpBtnClick()
{
    // Owned by the window, so it goes when the window goes; closing it only hides it.
    auto* help = new THelpForm(this);
    help->show();
}

void TConvertForm::SaveWindowPosition()
{
    if (!canSaveSettings())
        return;
    const auto key =
        RegistryKey::open(RegistryRoot::CurrentUser, QString::fromUtf16(SettingsKey::Path), RegistryAccess::Write);
    if (key)
        key->setString(QString::fromUtf16(SettingsKey::MainDialogPosition), FormatStoredFields({y(), x()}));
}

void TConvertForm::RestoreWindowPosition()
{
    const auto key =
        RegistryKey::open(RegistryRoot::CurrentUser, QString::fromUtf16(SettingsKey::Path), RegistryAccess::Read);
    if (!key)
        return;
    const std::optional<QString> stored = key->text(QString::fromUtf16(SettingsKey::MainDialogPosition));
    if (!stored)
        return;
    const auto fields = ParseStoredFields(*stored, 2);
    if (!fields)
        return;
    const QPoint position = ClampToDesktop(fields->at(0), fields->at(1), VirtualDesktop());
    if (IsOnSomeScreen(QRect(position, frameGeometry().size()), ScreenGeometries()))
        move(position);
}

QString TConvertForm::sourcePath() const
{
    return SurmexFileEditBox->text();
}

QString TConvertForm::selectedFormat() const
{
    return StyleSheetCombo->currentText();
}

bool TConvertForm::viewFile() const
{
    return ViewFileCheckBox->isChecked();
}

void TConvertForm::setSourcePath(const QString& path)
{
    SurmexFileEditBox->setText(path);
}

void TConvertForm::setViewFile(bool view)
{
    ViewFileCheckBox->setChecked(view);
}

void TConvertForm::showFormats(const QStringList& entries, int selected)
{
    StyleSheetCombo->clear();
    StyleSheetCombo->addItems(entries);
    StyleSheetCombo->setCurrentIndex(selected);
}
