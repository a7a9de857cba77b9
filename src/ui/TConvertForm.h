#pragma once

#include "pipeline/GenerateOperation.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;

/**
 * The main window: it owns the state the generate operation reads. The command line fills the
 * same fields and presses OK once without showing it.
 */
class TConvertForm : public QDialog, public GenerateForm
{
    Q_OBJECT

public:
    explicit TConvertForm(QWidget* parent = nullptr);

    // Where the generate operation talks to the user and starts other programs.
    void setServices(UserInteraction* interaction, Shell* shell);
    void setCommandLineMode(bool commandLine) { m_commandLineMode = commandLine; }

    // The generate operation. Unexpected failures are shown in the dialog; in command-line mode
    // they are passed on to the program entry, which ends the program with them.
    GenerateOutcome OKBtnClick();

    QLineEdit* SurmexFileEditBox = nullptr;
    QComboBox* StyleSheetCombo = nullptr;
    QCheckBox* ViewFileCheckBox = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CloseBtn = nullptr;
    // Created when first needed: a file dialog loads icons and scans its folder, which a
    // command-line run that never shows one should not pay for.
    QFileDialog* fileOpenDialog();
    QFileDialog* saveDialog();

    QString StyleSheetFolder;
    QString StyleSheetPath;
    QString TextFileViewer;
    QString OutputFileName;
    int SourceFilterIndex = 1;

    // GenerateForm
    QString sourcePath() const override;
    QString selectedFormat() const override;
    QString styleSheetPath() const override { return StyleSheetPath; }
    QString outputFileName() const override { return OutputFileName; }
    void setOutputFileName(const QString& name) override { OutputFileName = name; }
    bool viewFile() const override;
    QString textFileViewer() const override { return TextFileViewer; }
    bool commandLineMode() const override { return m_commandLineMode; }

private:
    QFileDialog* FileOpenDialog = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    UserInteraction* m_interaction = nullptr;
    Shell* m_shell = nullptr;
    bool m_commandLineMode = false;
};
