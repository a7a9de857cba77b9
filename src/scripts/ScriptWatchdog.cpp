#include "scripts/ScriptWatchdog.h"

#include <QJSEngine>

#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TABULON_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TABULON_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef TABULON_ADDRESS_SANITIZER
// The sanitizer runtime's, declared here: not every compiler ships the header.
extern "C" std::size_t __sanitizer_get_heap_size();
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// A string doubling in a loop gains at most some tens of megabytes between looks, and each wake-up
// costs some tens of microseconds: under 1 % of a processor while scripts run.
constexpr std::chrono::milliseconds SamplePeriod(10);

// The process's resident memory other than mapped files, whose pages come and go with the code
// that runs; 0 where the system does not tell, which leaves only the time limit.
class ResidentSize
{
public:
#ifdef Q_OS_LINUX
    ResidentSize()
        : m_file(open("/proc/self/statm", O_RDONLY | O_CLOEXEC))
        , m_pageSize(sysconf(_SC_PAGESIZE))
    {}
    ~ResidentSize()
    {
        if (m_file >= 0)
            close(m_file);
    }

    qint64 bytes() const
    {
        // In pages: the second field is the resident size, the third the part that maps files.
        char text[160];
        const ssize_t length = m_file >= 0 ? pread(m_file, text, sizeof text - 1, 0) : -1;
        if (length <= 0)
            return 0;
        text[length] = '\0';
        char* next = text;
        std::strtoll(next, &next, 10);
        const long long resident = std::strtoll(next, &next, 10);
        const long long shared = std::strtoll(next, &next, 10);
        return (resident - shared) * m_pageSize - heldByAllocator();
    }
#else
    qint64 bytes() const
    {
        return 0;
    }
#endif
    ResidentSize(const ResidentSize&) = delete;
    ResidentSize& operator=(const ResidentSize&) = delete;

private:
    // The address sanitizer keeps freed memory out of use for a while: without this, a script that
    // frees as much as it builds would look as if it grew.
    static qint64 heldByAllocator()
    {
#ifdef TABULON_ADDRESS_SANITIZER
        return qint64(__sanitizer_get_heap_size()) - qint64(__sanitizer_get_current_allocated_bytes());
#else
        return 0;
#endif
    }

#ifdef Q_OS_LINUX
    const int m_file;
    const qint64 m_pageSize;
#endif
};

} // namespace

ScriptWatchdog::ScriptWatchdog(std::chrono::milliseconds limit, qint64 memoryBytes, Mode mode)
    : m_limit(limit)
    , m_memoryBytes(memoryBytes)
{
    if (mode == Mode::Thread)
        m_thread = std::thread([this] { run(); });
}

ScriptWatchdog::~ScriptWatchdog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

quint64 ScriptWatchdog::start(QJSEngine* engine)
{
    m_engine = engine;
    m_startedAt = Clock::now().time_since_epoch().count();
    return m_call.fetch_add(1) + 1;
}

ScriptWatchdog::Stop ScriptWatchdog::finish(quint64 call)
{
    // Under the lock, so that a limit cannot fire between the call's end and this check and
    // leave the engine interrupted for the next call.
    const std::lock_guard lock(m_mutex);
    m_call.fetch_add(1);
    if (m_interrupted != call)
        return Stop::None;
    m_engine.load()->setInterrupted(false);
    return m_reason;
}

void ScriptWatchdog::check(Clock::time_point now, qint64 residentBytes)
{
    const std::lock_guard lock(m_mutex);
    checkLocked(now, [residentBytes] { return residentBytes; });
}

ScriptWatchdog::Clock::time_point ScriptWatchdog::checkLocked(Clock::time_point now,
                                                              const std::function<qint64()>& residentBytes)
{
    const quint64 call = m_call.load();
    if (call % 2 == 0 || m_interrupted == call)
        return now + SamplePeriod;
    const auto deadline = Clock::time_point(Clock::duration(m_startedAt.load())) + m_limit;
    if (now >= deadline) {
        interruptLocked(call, Stop::Time);
        return now + SamplePeriod;
    }
    if (const qint64 bytes = residentBytes(); bytes > 0) {
        if (m_measuredCall != call) {
            m_measuredCall = call;
            m_baseBytes = bytes;
        } else if (bytes - m_baseBytes > m_memoryBytes) {
            interruptLocked(call, Stop::Memory);
        }
    }
    return std::min(deadline, now + SamplePeriod);
}

void ScriptWatchdog::interruptLocked(quint64 call, Stop reason)
{
    m_interrupted = call;
    m_reason = reason;
    m_engine.load()->setInterrupted(true);
}

void ScriptWatchdog::run()
{
    ResidentSize resident;
    const auto residentBytes = [&resident] { return resident.bytes(); };
    std::unique_lock lock(m_mutex);
    while (!m_stop)
        m_wake.wait_until(lock, checkLocked(Clock::now(), residentBytes));
}
