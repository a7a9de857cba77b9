#include "ui/DesktopShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

void DesktopShell::openDocument(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopShell::runProgram(const QString& program, const QString& argument)
{
    // One argument however many blanks the path holds.
    QProcess::startDetached(program, {argument});
}
