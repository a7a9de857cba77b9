#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ProgramResult
{
    int exitCode = -1; // -2 when the program crashed or did not finish
    QString err;
};

// Runs the real program as a script would: no display, in `workDir`, answering from `input`.
ProgramResult runTabulon(const QStringList& arguments, const QString& workDir, const QByteArray& input = {});
