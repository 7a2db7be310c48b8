#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SimulatedRunLoop.h"

namespace vorn::platform::sim {
namespace {

using namespace std::chrono_literals;

TEST(SimulatedRunLoopTest, WaitingMovesVirtualTimeToTheDeadline) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    const auto start = loop.now();
    EXPECT_EQ(loop.runUntil(start + 1500ms), RunResult::timedOut);
    EXPECT_EQ(loop.now(), start + 1500ms);
    // A deadline in the past moves nothing.
    EXPECT_EQ(loop.runUntil(start), RunResult::timedOut);
    EXPECT_EQ(loop.now(), start + 1500ms);
}

TEST(SimulatedRunLoopTest, TimersTickAtTheirVirtualTimesWithoutEndingTheRun) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    const auto start = loop.now();
    std::vector<Duration> ticks;
    loop.addTimer(1500ms, true, [&] { ticks.push_back(loop.now() - start); });
    int once = 0;
    loop.addTimer(2s, false, [&] { ++once; });

    EXPECT_EQ(loop.runUntil(start + 6s), RunResult::timedOut);
    EXPECT_EQ(ticks, (std::vector<Duration>{1500ms, 3000ms, 4500ms, 6000ms}));
    EXPECT_EQ(once, 1);
    EXPECT_EQ(loop.activeTimers(), 1u);
}

TEST(SimulatedRunLoopTest, AnActionThatPostsEndsTheRunAtItsTime) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    const auto start = loop.now();
    bool delivered = false;
    clock.scheduleAfter(400ms, [&] { loop.post([&] { delivered = true; }); });
    // A quiet action does not wake the loop.
    bool quiet = false;
    clock.scheduleAfter(100ms, [&] { quiet = true; });

    EXPECT_EQ(loop.runUntil(start + 150ms), RunResult::timedOut);
    EXPECT_TRUE(quiet);
    EXPECT_FALSE(delivered);
    EXPECT_EQ(loop.runUntil(start + 1s), RunResult::handledSource);
    EXPECT_TRUE(delivered);
    EXPECT_EQ(loop.now(), start + 400ms);
}

TEST(SimulatedRunLoopTest, RunReturnsAtTheMomentSomethingIsPosted) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    const auto start = loop.now();
    loop.addTimer(300ms, false, [&] { loop.post([] {}); });
    EXPECT_EQ(loop.runUntil(start + 1s), RunResult::handledSource);
    EXPECT_EQ(loop.now(), start + 300ms);
}

TEST(SimulatedRunLoopTest, SleepingMovesTimeAndRunsActionsButNoTasksOrTimers) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    std::vector<std::string> records;
    loop.setRecorder([&](const std::string& line) { records.push_back(line); });
    bool task = false;
    bool action = false;
    int ticks = 0;
    loop.post([&] { task = true; });
    loop.addTimer(1ms, true, [&] { ++ticks; });
    clock.scheduleAfter(20ms, [&] { action = true; });

    loop.sleepFor(24ms);
    loop.sleepFor(6ms);
    EXPECT_TRUE(action);
    EXPECT_FALSE(task);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(loop.totalSlept(), 30ms);
    EXPECT_EQ(records, (std::vector<std::string>{"sleep 24ms", "sleep 6ms"}));
}

TEST(SimulatedRunLoopTest, PostIsSafeFromOtherThreads) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    int ran = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                loop.post([&] { ++ran; });
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    EXPECT_EQ(loop.pendingTasks(), 400u);
    EXPECT_EQ(loop.drain(), 400u);
    EXPECT_EQ(ran, 400);
}

TEST(SimulatedRunLoopTest, SignalledDescriptorsRunTheirWatchersOnce) {
    SimulatedClock clock;
    SimulatedRunLoop loop(clock);
    int calls = 0;
    const WatchID watch = loop.watchReadable(7, [&] { ++calls; });
    loop.watchReadable(8, [&] { calls += 100; });
    loop.signalReadable(7);
    EXPECT_EQ(loop.runUntil(loop.now() + 1s), RunResult::handledSource);
    EXPECT_EQ(calls, 1);

    loop.signalReadable(7);
    loop.unwatch(watch);
    loop.drain();
    EXPECT_EQ(calls, 1);
}

TEST(SimulatedRunLoopTest, DurationsFormatForRecords) {
    EXPECT_EQ(formatDuration(24ms), "24ms");
    EXPECT_EQ(formatDuration(1500ms), "1.5s");
    EXPECT_EQ(formatDuration(1500us), "1500us");
}

}  // namespace
}  // namespace vorn::platform::sim
