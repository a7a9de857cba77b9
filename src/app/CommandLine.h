#pragma once

#include "session/CommandLineRun.h"

#include <QString>
#include <QStringList>

// The program's arguments (its own path not included) decoded from the user's encoding.
struct DecodedArguments
{
    QStringList arguments;
    // An argument whose bytes are not valid text in that encoding would name another file once
    // decoded: the number of the first such argument; 0 when every argument is valid.
    int undecodable = 0;
};

DecodedArguments DecodeArguments(int argc, char** argv);

// Empty arguments (a pair of double quotes) count as not given. Only a lone argument is read as
// an option: with a source and a style sheet, "--help" is a file name like any other.
CommandLine ParseCommandLine(const QStringList& arguments);

// The seven lines shown when the argument count is wrong, joined by CR LF; the syntax line names
// the program as it was started.
QString UsageText(const QString& programName);

// What --help prints: the usage text and a line on the options, with line feeds.
QString HelpText(const QString& programName);
