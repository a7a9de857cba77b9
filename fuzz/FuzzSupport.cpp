#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

QString writeScratchFile(const QByteArray& bytes, const QString& name)
{
    // Created once per process: every input reuses the folder rather than leaving folders behind.
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tabulon-fuzz-XXXXXX"));
    const QString path = folder.filePath(name);
    // A new file rather than a truncated one: ext4 writes a truncated file back to disk when it
    // is closed, which would make every input wait for the disk.
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fuzzFinding("the scratch file can be written", path);
    return path;
}

void fuzzFinding(const char* property, const QString& details)
{
    std::fprintf(stderr, "Property broken: %s\n%s\n", property, details.toUtf8().constData());
    std::abort();
}
