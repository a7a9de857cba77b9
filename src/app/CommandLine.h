#pragma once

#include <QString>
#include <QStringList>

// How the program was asked to run, from its arguments (the program's own path not included).
struct CommandLine
{
    enum class Mode
    {
        Dialog,   // no arguments
        Generate, // source, style sheet and optionally the output file
        Usage,    // any other count
    };

    Mode mode = Mode::Dialog;
    QString sourcePath;
    QString styleSheetPath;
    QString outputFileName; // empty unless a third argument was given
};

// The program's arguments (its own path not included) decoded from the user's encoding. An
// argument whose bytes are not valid text there would name another file once decoded: the
// message refusing it is given back in refusal, which stays empty when every argument is valid.
QStringList DecodeArguments(int argc, char** argv, QString& refusal);

// Empty arguments (a pair of double quotes) count as not given.
CommandLine ParseCommandLine(const QStringList& arguments);

// The seven lines shown when the argument count is wrong, joined by CR LF; the syntax line names
// the program as it was started.
QString UsageText(const QString& programName);
