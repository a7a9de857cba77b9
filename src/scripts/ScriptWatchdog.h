#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class QJSEngine;

/**
 * Interrupts a script call that runs past the time limit. Calls only stamp their start, so that
 * the many short calls of a large run cost no thread wake-ups.
 */
class ScriptWatchdog
{
public:
    using Clock = std::chrono::steady_clock;

    // Manual: no thread of its own; the limit fires only when check() is called, so that a test
    // can choose the moment.
    enum class Mode
    {
        Thread,
        Manual
    };

    explicit ScriptWatchdog(std::chrono::milliseconds limit, Mode mode = Mode::Thread);
    ~ScriptWatchdog();
    ScriptWatchdog(const ScriptWatchdog&) = delete;
    ScriptWatchdog& operator=(const ScriptWatchdog&) = delete;

    // Returns the call's number, which finish() takes back.
    quint64 start(QJSEngine* engine);

    // Whether the call was interrupted; the engine is ready for the next one either way.
    bool finish(quint64 call);

    // Interrupts the running call if it started the limit or more before now: what the thread
    // does each time it wakes.
    void check(Clock::time_point now);

private:
    // When to look again.
    Clock::time_point checkLocked(Clock::time_point now);
    void run();

    const std::chrono::milliseconds m_limit;
    std::atomic<QJSEngine*> m_engine{nullptr};
    std::atomic<Clock::rep> m_startedAt{0};
    std::atomic<quint64> m_call{0}; // odd while a call runs
    quint64 m_interrupted = 0;      // under the mutex
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
