#include "platform/TempFiles.h"

#include "platform/Failure.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

QString GetTempFolder()
{
    return Paths::withTrailingSeparator(QDir::toNativeSeparators(QDir::tempPath()));
}

QString NewTempOutputFile()
{
    QTemporaryFile file(GetTempFolder() + QStringLiteral("tabulon-XXXXXX.tmp"));
    file.setAutoRemove(false);
    if (!file.open())
        throw UnexpectedFailure(
            QStringLiteral("Cannot create a temporary file in %1: %2").arg(GetTempFolder(), file.errorString()));
    return file.fileName();
}

TempFileGuard::~TempFileGuard()
{
    reset();
}

void TempFileGuard::reset(QString path)
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
    m_path = std::move(path);
}

QString TempFileGuard::release()
{
    return std::exchange(m_path, QString());
}
