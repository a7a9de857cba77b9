#pragma once

#include "platform/Shell.h"

// Opens documents and starts programs through the desktop.
class DesktopShell : public Shell
{
public:
    void openDocument(const QString& path) override;
    void runProgram(const QString& program, const QString& argument) override;
};
