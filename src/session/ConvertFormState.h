#pragma once

#include "pipeline/GenerateOperation.h"

#include <QString>
#include <QStringList>

class Shell;
class UserInteraction;

/**
 * The main window's state, its output format list and its settings, apart from the widgets that
 * show them: a command-line run without a display has this state and no window. The controls the
 * settings fill (source field, check box, format list) are reached through the virtual setters
 * and GenerateForm's getters.
 */
class ConvertFormState : public GenerateForm
{
public:
    enum class RunMode
    {
        Dialog,
        CommandLine, // the window is never shown: settings are read, never written
    };

    explicit ConvertFormState(RunMode mode);

    // Where the generate operation talks to the user and starts other programs.
    void setServices(UserInteraction* interaction, Shell* shell);

    // The generate operation. Unexpected failures are shown in a box; in command-line mode they
    // are passed on to the program entry, which ends the program with them.
    GenerateOutcome OKBtnClick();

    // Reads the saved settings in their fixed order, falls back to the machine-wide style sheet,
    // drops what no longer exists and builds the format list.
    void LoadSettings();
    // Writes what the window shows; nothing in command-line mode, nor when the settings could not
    // be read, so that a hive the program cannot parse keeps the user's values.
    void SaveSettings();
    bool canSaveSettings() const { return m_mode == RunMode::Dialog && m_settingsReadable; }

    // Fills the list from StyleSheetFolder, selects the entry of StyleSheetPath (or the first) and
    // points StyleSheetPath at the selected entry's file.
    void BuildStyleSheetList();
    // StyleSheetFolder + entry + ".xsl" when that file exists, else + ".xslt".
    QString ResolveStyleSheetPath(const QString& entry) const;
    // The user picked another entry.
    void StyleSheetComboChange();

    QString StyleSheetFolder;
    QString StyleSheetPath;
    QString TextFileViewer;
    QString OutputFileName;
    int SourceFilterIndex = 1;

    // GenerateForm (sourcePath, selectedFormat and viewFile come from the controls)
    QString styleSheetPath() const override { return StyleSheetPath; }
    QString outputFileName() const override { return OutputFileName; }
    void setOutputFileName(const QString& name) override { OutputFileName = name; }
    QString textFileViewer() const override { return TextFileViewer; }
    bool commandLineMode() const override { return m_mode == RunMode::CommandLine; }

    virtual void setSourcePath(const QString& path) = 0;
    virtual void setViewFile(bool view) = 0;
    // Replaces the format list; `selected` indexes `entries`.
    virtual void showFormats(const QStringList& entries, int selected) = 0;

private:
    void readUserSettings();

    const RunMode m_mode;
    bool m_settingsReadable = false;
    UserInteraction* m_interaction = nullptr;
    Shell* m_shell = nullptr;
};

// The style sheet entries of a folder: the names of its ".xsl" and ".xslt" files without the
// extension (hidden ones too, folders skipped), with the built-in entry unless a file stands in for
// it, sorted ignoring case.
QStringList StyleSheetEntries(const QString& folder);
