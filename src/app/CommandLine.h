#pragma once

#include "session/CommandLineRun.h"

#include <QString>
#include <QStringList>

// The program's arguments (its own path not included) decoded from the user's encoding.
struct DecodedArguments
{
    QStringList arguments;
    // An argument whose bytes are not valid text in that encoding would name another file once
    // decoded: the message refusing the first such argument; empty when every argument is valid.
    QString refusal;
};

DecodedArguments DecodeArguments(int argc, char** argv);

// Empty arguments (a pair of double quotes) count as not given.
CommandLine ParseCommandLine(const QStringList& arguments);

// The seven lines shown when the argument count is wrong, joined by CR LF; the syntax line names
// the program as it was started.
QString UsageText(const QString& programName);
