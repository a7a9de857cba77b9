#include "scripts/ScriptWatchdog.h"

#include <QJSEngine>

#include <gtest/gtest.h>

#include <optional>

// The limit fires at moments the test picks: the call's end and the limit may come in either
// order, and neither may leave the engine interrupted for the next call.
TEST(ScriptWatchdogTest, TheLimitStopsOnlyTheCallItWasSetFor)
{
    using namespace std::chrono_literals;
    struct Row
    {
        const char* name;
        std::optional<std::chrono::milliseconds> checkedDuringCall; // this long after the start
        bool firesAfterEnd;
        bool interrupted;
    };
    const Row rows[] = {
        {"the limit passes while the call runs", 2000ms, false, true},
        {"the watchdog looks before the limit passed", 500ms, false, false},
        {"the call ends just before the limit fires", std::nullopt, true, false},
        {"the limit fires, then the call ends and the watchdog looks again", 2000ms, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QJSEngine engine;
        ScriptWatchdog watchdog(1000ms, ScriptWatchdog::Mode::Manual);
        const auto started = ScriptWatchdog::Clock::now();
        const quint64 call = watchdog.start(&engine);
        if (row.checkedDuringCall) {
            watchdog.check(started + *row.checkedDuringCall);
            EXPECT_EQ(engine.isInterrupted(), row.interrupted);
        }
        EXPECT_EQ(watchdog.finish(call), row.interrupted);
        if (row.firesAfterEnd)
            watchdog.check(started + 1h);
        EXPECT_FALSE(engine.isInterrupted());

        const quint64 next = watchdog.start(&engine);
        EXPECT_FALSE(engine.isInterrupted());
        EXPECT_FALSE(watchdog.finish(next));
    }
}
