#include "platform/TempFiles.h"

#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <utility>

QString GetTempFolder()
{
    return Paths::withTrailingSeparator(QDir::toNativeSeparators(QDir::tempPath()));
}

TempOutputFile::TempOutputFile(std::optional<RunFolder>& runFolder)
    // Created as any new file is (0666 less the umask), so that a new destination gets the usual bits.
    : m_file(::open(QFile::encodeName(GetTempFolder()).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666))
{
    if (m_file.get() >= 0)
        return;
    if (!runFolder)
        runFolder.emplace();
    m_path = runFolder->createFile(QStringLiteral("output.tmp"));
    m_file.reset(::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CLOEXEC));
    if (m_file.get() < 0)
        throw UnexpectedFailure(QStringLiteral("Cannot open the temporary file %1: %2")
                                    .arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
}

TempOutputFile NewTempOutputFile(std::optional<RunFolder>& runFolder)
{
    return TempOutputFile(runFolder);
}

TempOutputFile::~TempOutputFile()
{
    discard();
}

void TempOutputFile::discard()
{
    m_file.reset(-1);
    if (!m_path.isEmpty())
        QFile::remove(std::exchange(m_path, QString()));
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
