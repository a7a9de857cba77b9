#include "scripts/ScriptWatchdog.h"

#include <QJSEngine>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

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
        ScriptWatchdog watchdog(1000ms, qint64(1) << 30, ScriptWatchdog::Mode::Manual);
        const auto started = ScriptWatchdog::Clock::now();
        const quint64 call = watchdog.start(&engine);
        if (row.checkedDuringCall) {
            watchdog.check(started + *row.checkedDuringCall, 0);
            EXPECT_EQ(engine.isInterrupted(), row.interrupted);
        }
        EXPECT_EQ(watchdog.finish(call) == ScriptWatchdog::Stop::Time, row.interrupted);
        if (row.firesAfterEnd)
            watchdog.check(started + 1h, 0);
        EXPECT_FALSE(engine.isInterrupted());

        const quint64 next = watchdog.start(&engine);
        EXPECT_FALSE(engine.isInterrupted());
        EXPECT_EQ(watchdog.finish(next), ScriptWatchdog::Stop::None);
    }
}

// The first look during a call takes the process's size as the call's base; only what the call
// adds beyond it counts, and a call that ends first leaves nothing set for the next one.
TEST(ScriptWatchdogTest, TheMemoryLimitCountsWhatTheCallAdds)
{
    using namespace std::chrono_literals;
    constexpr qint64 MB = 1 << 20;
    struct Row
    {
        const char* name;
        std::vector<qint64> sizesDuringCall;
        std::optional<qint64> sizeAfterEnd;
        ScriptWatchdog::Stop stop;
    };
    const Row rows[] = {
        {"the call grows past the limit", {100 * MB, 140 * MB, 170 * MB}, std::nullopt, ScriptWatchdog::Stop::Memory},
        {"a large process grows by less than the limit",
         {900 * MB, 960 * MB},
         std::nullopt,
         ScriptWatchdog::Stop::None},
        {"the call ends before the watchdog sees it grow", {100 * MB}, 900 * MB, ScriptWatchdog::Stop::None},
        {"the limit fires, then the call ends and the watchdog looks again",
         {100 * MB, 200 * MB},
         300 * MB,
         ScriptWatchdog::Stop::Memory},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QJSEngine engine;
        ScriptWatchdog watchdog(1h, 64 * MB, ScriptWatchdog::Mode::Manual);
        const auto started = ScriptWatchdog::Clock::now();
        const quint64 call = watchdog.start(&engine);
        for (const qint64 size : row.sizesDuringCall)
            watchdog.check(started, size);
        EXPECT_EQ(engine.isInterrupted(), row.stop != ScriptWatchdog::Stop::None);
        EXPECT_EQ(watchdog.finish(call), row.stop);
        if (row.sizeAfterEnd)
            watchdog.check(started, *row.sizeAfterEnd);
        EXPECT_FALSE(engine.isInterrupted());

        const quint64 next = watchdog.start(&engine);
        watchdog.check(started, 1000 * MB);
        EXPECT_FALSE(engine.isInterrupted());
        EXPECT_EQ(watchdog.finish(next), ScriptWatchdog::Stop::None);
    }
}
