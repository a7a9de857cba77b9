#include "platform/RunFolder.h"

#include "platform/Descriptor.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/TempFiles.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int InterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char FolderPrefix[] = "tabulon-";

// The one piece of process state an interrupt handler reads. The path is written only while the
// interrupt signals are blocked on the writing thread, and the descriptor is published after it.
struct InterruptState
{
    std::atomic<int> folderFd{-1};
    char folder[PATH_MAX] = {};
};
InterruptState interruptState;
static_assert(std::atomic<int>::is_always_lock_free);

struct DirCloser
{
    void operator()(DIR* folder) const { closedir(folder); }
};

bool copyPath(char (&to)[PATH_MAX], const QByteArray& from)
{
    if (from.size() >= PATH_MAX)
        return false;
    std::memcpy(to, from.constData(), std::size_t(from.size()) + 1);
    return true;
}

// Removes what a folder holds, without following links. Async-signal-safe: it only reads the
// folder's entries with getdents64 and removes them with unlinkat. Entries read while others are
// removed may be skipped, so it goes over the folder until a pass finds nothing left.
void removeEntries(int folderFd)
{
    alignas(dirent64) char buffer[4096];
    for (int pass = 0; pass < 8; ++pass) {
        bool removedAny = false;
        lseek(folderFd, 0, SEEK_SET);
        for (;;) {
            const ssize_t length = getdents64(folderFd, buffer, sizeof buffer);
            if (length <= 0)
                break;
            for (ssize_t offset = 0; offset < length;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
                offset += entry->d_reclen;
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                    continue;
                if (unlinkat(folderFd, name, 0) == 0 || unlinkat(folderFd, name, AT_REMOVEDIR) == 0)
                    removedAny = true;
            }
        }
        if (!removedAny)
            return;
    }
}

extern "C" void onInterrupt(int signal)
{
    const int folderFd = interruptState.folderFd.load();
    if (folderFd >= 0) {
        removeEntries(folderFd);
        rmdir(interruptState.folder);
    }
    _exit(128 + signal);
}

// The process id in a run folder's name, or 0 when the name is not one of ours.
pid_t ownerOf(const char* name)
{
    if (std::strncmp(name, FolderPrefix, sizeof FolderPrefix - 1) != 0)
        return 0;
    const char* digits = name + sizeof FolderPrefix - 1;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &end, 10);
    if (errno != 0 || end == digits || *end != '-' || pid <= 0 || pid > INT_MAX)
        return 0;
    return pid_t(pid);
}

bool processIsGone(pid_t pid)
{
    return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes one abandoned folder: ours by owner, a real folder and not a link, and not locked by
// a run that lives on where its process id means something else (another pid namespace).
void removeAbandoned(int tempFd, const char* name)
{
    struct stat info;
    if (fstatat(tempFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return;
    const Descriptor folder(openat(tempFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() >= 0 && flock(folder.get(), LOCK_EX | LOCK_NB) == 0) {
        removeEntries(folder.get());
        unlinkat(tempFd, name, AT_REMOVEDIR);
    }
}

// Removes the folders that runs whose process no longer exists left in the temporary folder.
void removeAbandonedRunFolders()
{
    const QByteArray temp = QFile::encodeName(GetTempFolder());
    const std::unique_ptr<DIR, DirCloser> folder(opendir(temp.constData()));
    if (!folder)
        return;
    while (const dirent* entry = readdir(folder.get())) {
        const pid_t owner = ownerOf(entry->d_name);
        if (owner > 0 && processIsGone(owner))
            removeAbandoned(dirfd(folder.get()), entry->d_name);
    }
}

} // namespace

InterruptsHeldBack::InterruptsHeldBack()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : InterruptSignals)
        sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, &m_previous);
}

InterruptsHeldBack::~InterruptsHeldBack()
{
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

RunFolder::RunFolder()
{
    removeAbandonedRunFolders();
    QByteArray name = QFile::encodeName(GetTempFolder() +
                                        QStringLiteral("%1%2-XXXXXX").arg(QLatin1String(FolderPrefix)).arg(getpid()));
    // An interrupt waits until the new folder is known to the handler, which removes it then.
    const InterruptsHeldBack block;
    // mkdtemp creates the folder exclusively, readable and writable by its owner alone.
    if (!mkdtemp(name.data()))
        throw UnexpectedFailure(QStringLiteral("Cannot create a private folder in the temporary folder %1: %2")
                                    .arg(GetTempFolder(), QString::fromLocal8Bit(std::strerror(errno))));
    m_folder.reset(open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (m_folder.get() < 0 || flock(m_folder.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        rmdir(name.constData());
        throw UnexpectedFailure(QStringLiteral("Cannot use the private folder %1: %2")
                                    .arg(QFile::decodeName(name), QString::fromLocal8Bit(std::strerror(error))));
    }
    m_path = Paths::withTrailingSeparator(QFile::decodeName(name));
    if (interruptState.folderFd.load() < 0 && copyPath(interruptState.folder, name))
        interruptState.folderFd.store(m_folder.get());
}

RunFolder::~RunFolder()
{
    // An interrupt waits until the folder is gone, so that it never stops the removal halfway.
    const InterruptsHeldBack block;
    if (interruptState.folderFd.load() == m_folder.get())
        interruptState.folderFd.store(-1);
    removeEntries(m_folder.get());
    rmdir(QFile::encodeName(m_path).constData());
}

QString RunFolder::createFile(const QString& name) const
{
    const QString path = m_path + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw UnexpectedFailure(
            QStringLiteral("Cannot create the temporary file %1: %2").arg(path, file.errorString()));
    return path;
}

void InstallInterruptCleanup()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : InterruptSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : InterruptSignals) {
        struct sigaction previous = {};
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}
