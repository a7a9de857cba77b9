#pragma once

#include "platform/Shell.h"

// Opens documents and starts programs through the desktop.
class DesktopShell : public Shell
{
public:
    bool openDocument(const QString& path) override;
    bool runProgram(const QString& program, const QString& argument) override;
};
