#pragma once

#include <QString>
#include <QStringList>

// Starts other programs for the user without waiting for them; says only whether they started.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens a document with the application the desktop associates with it.
    virtual bool openDocument(const QString& path) = 0;

    // Runs a program with one argument.
    virtual bool runProgram(const QString& program, const QString& argument) = 0;
};

// Searches for a program file as the system's standard search does: the program's own folder,
// the current folder, then PATH. No extension is added. Empty when not found.
QString findProgramFile(const QString& name);
