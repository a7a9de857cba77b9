#pragma once

#include "platform/Shell.h"

#include <QStringList>

// Records what would have been opened or started.
struct RecordingShell : Shell
{
    QStringList opened;
    QStringList run;

    void openDocument(const QString& path) override { opened << path; }
    void runProgram(const QString& program, const QString& argument) override { run << program + u'|' + argument; }
};
