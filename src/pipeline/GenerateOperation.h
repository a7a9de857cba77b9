#pragma once

#include <QString>

class Shell;
class UserInteraction;

/**
 * What the generate operation reads from (and, for the output name, writes to) the main window.
 * The main window implements it; tests use a plain record.
 */
class GenerateForm
{
public:
    virtual ~GenerateForm() = default;

    virtual QString sourcePath() const = 0;     // text of SurmexFileEditBox, read afresh at each use
    virtual QString selectedFormat() const = 0; // text of the entry selected in StyleSheetCombo
    virtual QString styleSheetPath() const = 0; // StyleSheetPath
    virtual QString outputFileName() const = 0; // OutputFileName
    virtual void setOutputFileName(const QString& name) = 0;
    virtual bool viewFile() const = 0;          // ViewFileCheckBox ticked
    virtual QString textFileViewer() const = 0; // TextFileViewer
    virtual bool commandLineMode() const = 0;
};

// The fields of a run filled in once, where no main window is shown.
struct GenerateFields : GenerateForm
{
    QString source;
    QString format;
    QString sheet;
    QString output;
    bool view = false;
    QString viewer;
    bool commandLine = true;

    QString sourcePath() const override { return source; }
    QString selectedFormat() const override { return format; }
    QString styleSheetPath() const override { return sheet; }
    QString outputFileName() const override { return output; }
    void setOutputFileName(const QString& name) override { output = name; }
    bool viewFile() const override { return view; }
    QString textFileViewer() const override { return viewer; }
    bool commandLineMode() const override { return commandLine; }
};

// The built-in output format: the XML source itself, without transformation.
inline constexpr char16_t BuiltInFormatName[] = u"Corvane Surmex";

// Whether a list entry or path denotes the built-in format: its name, without folder and
// extension, is "Corvane Surmex" ignoring case.
bool IsBuiltInFormat(const QString& text);

// Whether the run wrote the output file: scripts may trust Written alone.
enum class GenerateOutcome
{
    Written,
    NotWritten,
};

/**
 * The generate operation (the OK button's handler): converts a job source, loads the source and
 * the style sheet, lets road-design selection and user fields adjust the style sheet, transforms
 * into a temporary file and saves it. Expected failures are reported through ui and give
 * NotWritten; unexpected ones throw UnexpectedFailure after the clean-up has run.
 */
GenerateOutcome RunGenerateOperation(GenerateForm& form, UserInteraction& ui, Shell& shell);
