#include "platform/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString findProgramFile(const QString& name)
{
    if (name.isEmpty())
        return {};
    const QFileInfo direct(name);
    if (direct.isAbsolute())
        return direct.isFile() ? direct.absoluteFilePath() : QString();

    QStringList folders;
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    folders << QDir::currentPath();
    for (const QString& folder : folders) {
        const QFileInfo candidate(QDir(folder), name);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    if (name.contains(u'/'))
        return {};
    return QStandardPaths::findExecutable(name);
}
