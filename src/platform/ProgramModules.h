#pragma once

#include <QFunctionPointer>
#include <QString>

// An export of one of the program's own modules, or why none was found.
struct ModuleExport
{
    QFunctionPointer function = nullptr;
    QString errors; // the loader's messages, one a line, when function is null
};

/**
 * Loads the program's module of that base name and resolves an export. The module is looked up
 * beside the program, in the installed library folder relative to it, and, for a program run from
 * the build folder only, there, so that an installed program never loads code from a build. The
 * module stays loaded until the process ends: Qt and the C++ runtime keep references into it.
 */
ModuleExport ResolveModuleExport(const QString& baseName, const char* symbol);
