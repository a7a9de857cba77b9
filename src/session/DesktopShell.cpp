#include "session/DesktopShell.h"

#include <QProcess>

bool DesktopShell::openDocument(const QString& path)
{
    // What the desktop's own URL opener runs on Linux, without loading the window system's
    // libraries into a run that has no window.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

bool DesktopShell::runProgram(const QString& program, const QString& argument)
{
    // One argument however many blanks the path holds.
    return QProcess::startDetached(program, {argument});
}
