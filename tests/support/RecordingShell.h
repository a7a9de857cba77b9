#pragma once

#include "platform/Shell.h"

#include <QStringList>

// Records what would have been opened or started.
struct RecordingShell : Shell
{
    QStringList opened;
    QStringList run;
    bool starts = true; // what it answers, as if the program had started or not

    bool openDocument(const QString& path) override
    {
        opened << path;
        return starts;
    }
    bool runProgram(const QString& program, const QString& argument) override
    {
        run << program + u'|' + argument;
        return starts;
    }
};
