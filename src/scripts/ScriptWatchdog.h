#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QJSEngine;

/**
 * Interrupts a script call that runs past the time limit or makes the process grow by more than
 * the memory limit: the engine builds strings and arrays without a bound of its own. Calls only
 * stamp their start, so that the many short calls of a large run cost no thread wake-ups; the
 * thread looks at the process's size every few milliseconds.
 */
class ScriptWatchdog
{
public:
    using Clock = std::chrono::steady_clock;

    // Manual: no thread of its own; the limits fire only when check() is called, so that a test
    // can choose the moment and the size.
    enum class Mode
    {
        Thread,
        Manual
    };

    enum class Stop
    {
        None,
        Time,
        Memory
    };

    ScriptWatchdog(std::chrono::milliseconds limit, qint64 memoryBytes, Mode mode = Mode::Thread);
    ~ScriptWatchdog();
    ScriptWatchdog(const ScriptWatchdog&) = delete;
    ScriptWatchdog& operator=(const ScriptWatchdog&) = delete;

    // Returns the call's number, which finish() takes back.
    quint64 start(QJSEngine* engine);

    // Which limit interrupted the call, if any; the engine is ready for the next one either way.
    Stop finish(quint64 call);

    // What the thread does each time it wakes, with the process's resident size in bytes: the
    // first look during a call takes it as the call's base.
    void check(Clock::time_point now, qint64 residentBytes);

private:
    // When to look again.
    Clock::time_point checkLocked(Clock::time_point now, const std::function<qint64()>& residentBytes);
    void interruptLocked(quint64 call, Stop reason);
    void run();

    const std::chrono::milliseconds m_limit;
    const qint64 m_memoryBytes;
    std::atomic<QJSEngine*> m_engine{nullptr};
    std::atomic<Clock::rep> m_startedAt{0};
    std::atomic<quint64> m_call{0}; // odd while a call runs
    // Under the mutex:
    quint64 m_interrupted = 0;
    Stop m_reason = Stop::None;
    quint64 m_measuredCall = 0;
    qint64 m_baseBytes = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
