#include "platform/TempFiles.h"

#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"

#include <QDir>
#include <QFile>

QString GetTempFolder()
{
    return Paths::withTrailingSeparator(QDir::toNativeSeparators(QDir::tempPath()));
}

QString NewTempOutputFile(const RunFolder& folder)
{
    return folder.createFile(QStringLiteral("output.tmp"));
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
