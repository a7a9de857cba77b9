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
        Help,     // --help alone: the usage on standard output
        Version,  // --version alone
    };

    Mode mode = Mode::Dialog;
    QString sourcePath;
    QString styleSheetPath;
    QString outputFileName; // empty unless a third argument was given
};

// The program's arguments (its own path not included) decoded from the user's encoding. An
// argument whose bytes are not valid text there would name another file once decoded: the
// number of the first such argument is given back in undecodable, which stays 0 when every
// argument is valid.
QStringList DecodeArguments(int argc, char** argv, int& undecodable);

// Empty arguments (a pair of double quotes) count as not given. Only a lone argument is read as
// an option: with a source and a style sheet, "--help" is a file name like any other.
CommandLine ParseCommandLine(const QStringList& arguments);

// The seven lines shown when the argument count is wrong, joined by CR LF; the syntax line names
// the program as it was started.
QString UsageText(const QString& programName);

// What --help prints: the usage text and a line on the options, with line feeds.
QString HelpText(const QString& programName);
