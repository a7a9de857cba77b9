#include "ui/DesktopShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

bool DesktopShell::openDocument(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShell::runProgram(const QString& program, const QString& argument)
{
    // One argument however many blanks the path holds.
    return QProcess::startDetached(program, {argument});
}
