#include "scripts/ScriptWatchdog.h"

#include <QJSEngine>

ScriptWatchdog::ScriptWatchdog(std::chrono::milliseconds limit, Mode mode)
    : m_limit(limit)
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

bool ScriptWatchdog::finish(quint64 call)
{
    // Under the lock, so that the limit cannot fire between the call's end and this check and
    // leave the engine interrupted for the next call.
    const std::lock_guard lock(m_mutex);
    m_call.fetch_add(1);
    const bool interrupted = m_interrupted == call;
    if (interrupted)
        m_engine.load()->setInterrupted(false);
    return interrupted;
}

void ScriptWatchdog::check(Clock::time_point now)
{
    const std::lock_guard lock(m_mutex);
    checkLocked(now);
}

ScriptWatchdog::Clock::time_point ScriptWatchdog::checkLocked(Clock::time_point now)
{
    const quint64 call = m_call.load();
    if (call % 2 == 0)
        return now + m_limit;
    const auto deadline = Clock::time_point(Clock::duration(m_startedAt.load())) + m_limit;
    if (now < deadline)
        return deadline;
    if (m_interrupted != call) {
        m_interrupted = call;
        m_engine.load()->setInterrupted(true);
    }
    return now + m_limit;
}

void ScriptWatchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop)
        m_wake.wait_until(lock, checkLocked(Clock::now()));
}
