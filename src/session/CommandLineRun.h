#pragma once

#include <QString>

class ConvertFormState;
class UserInteraction;

// How the program was asked to run, from its arguments (the program's own path not included).
struct CommandLine
{
    enum class Mode
    {
        Dialog,   // no arguments
        Generate, // source, style sheet and optionally the output file
        Usage,    // any other count
        Help,     // --help alone: the usage on standard output
        Version,  // --version alone
    };

    Mode mode = Mode::Dialog;
    QString sourcePath;
    QString styleSheetPath;
    QString outputFileName; // empty unless a third argument was given
};

// Exit statuses of command-line mode: scripts may trust a zero.
constexpr int ExitWritten = 0;
constexpr int ExitUnexpectedFailure = 1;
constexpr int ExitNotWritten = 2;

// The one route of every run that is not the dialog, with the window or without: the form's
// state, shown or not, is filled from the command line and OK is pressed once. Any other argument
// count shows `usage`. Returns the exit status.
int RunCommandLine(ConvertFormState& form, UserInteraction& interaction, const CommandLine& commandLine,
                   const QString& usage);
