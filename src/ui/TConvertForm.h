#pragma once

#include "session/ConvertFormState.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;
class TBrowseFolder;
class TButtonRow;
class TSizingPanel;
class TStaticText;

/**
 * The main window: a fixed-size dialog showing the state the generate operation reads. A
 * command-line run with a display creates it, fills it and presses OK once without showing it.
 */
class TConvertForm : public QDialog, public ConvertFormState
{
    Q_OBJECT

public:
    explicit TConvertForm(RunMode mode = RunMode::Dialog, QWidget* parent = nullptr);

    TSizingPanel* SizingPanel1 = nullptr;
    TStaticText* JobOrSurmexLbl = nullptr;
    TStaticText* FormatLbl = nullptr;
    QWidget* Panel1 = nullptr;
    TSizingPanel* SizingPanel2 = nullptr;
    QPushButton* XMLBrowseBtn = nullptr;
    QPushButton* XSLBrowseBtn = nullptr;
    QLineEdit* SurmexFileEditBox = nullptr;
    QComboBox* StyleSheetCombo = nullptr;
    TButtonRow* ButtonRow1 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CloseBtn = nullptr;
    QPushButton* HelpBtn = nullptr;
    QCheckBox* ViewFileCheckBox = nullptr;
    TBrowseFolder* StyleSheetFldr = nullptr;

    // Created when first needed: a file dialog loads icons and scans its folder, which a
    // command-line run that never shows one should not pay for. They then live as long as the
    // window, so each reopens where it was left.
    QFileDialog* xmlOpenDialog();
    QFileDialog* fileOpenDialog();
    QFileDialog* saveDialog();

    void XMLBrowseBtnClick();
    void XSLBrowseBtnClick();
    // Each click opens another help window; those opened before stay as they are.
    void HelpBtnClick();
    void SaveWindowPosition();
    void RestoreWindowPosition();

    // GenerateForm and ConvertFormState
    QString sourcePath() const override;
    QString selectedFormat() const override;
    bool viewFile() const override;
    void setSourcePath(const QString& path) override;
    void setViewFile(bool view) override;
    void showFormats(const QStringList& entries, int selected) override;

public slots:
    // Esc closes the window as Close does, saving the settings.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createLabelPanel();
    void createFieldPanel();
    void createButtonRow();
    void orderTabs();
    void connectControls();
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormHelp();
    void alignPanels();
    // The current source's folder, else the home folder: where file dialogs first open.
    QString startFolder() const;
    QFileDialog* newFileDialog(const char* name);

    QFileDialog* XMLOpenDialog = nullptr;
    QFileDialog* FileOpenDialog = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
};
