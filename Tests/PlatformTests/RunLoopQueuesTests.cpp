#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RunLoopQueues.h"

namespace vorn::platform {
namespace {

using namespace std::chrono_literals;

TEST(RunLoopQueuesTest, ARepeatingTimerAfterAStallFollowsItsPolicy) {
    struct Case {
        MissedTicks missedTicks;
        int ticksAfterStall;
        Duration nextDueAfterStall;
    };
    const std::vector<Case> cases = {
        // Due at 10, 20, 30 and 40ms: all four fire, one per turn.
        {MissedTicks::catchUp, 4, 50ms},
        {MissedTicks::skip, 1, 55ms},
    };
    for (const auto& c : cases) {
        RunLoopQueues queues(c.missedTicks);
        const MonotonicTime start{};
        int ticks = 0;
        queues.addTimer(start, 10ms, true, [&] { ++ticks; });
        for (int turn = 0; turn < 10; ++turn) {
            queues.fireDueTimers(start + 45ms);
        }
        EXPECT_EQ(ticks, c.ticksAfterStall);
        EXPECT_EQ(queues.nextTimerTime(), start + c.nextDueAfterStall);
    }
}

TEST(RunLoopQueuesTest, DueTimersFireEarliestFirstAndATickMayCancelOthers) {
    RunLoopQueues queues(MissedTicks::skip);
    const MonotonicTime start{};
    std::vector<std::string> fired;
    TimerID late = 0;
    queues.addTimer(start, 30ms, false, [&] { fired.push_back("30"); });
    late = queues.addTimer(start, 20ms, false, [&] { fired.push_back("20"); });
    TimerID self = 0;
    self = queues.addTimer(start, 10ms, true, [&] {
        fired.push_back("10");
        queues.cancelTimer(self);
        queues.cancelTimer(late);
    });

    queues.fireDueTimers(start + 1s);
    EXPECT_EQ(fired, (std::vector<std::string>{"10", "30"}));
    EXPECT_EQ(queues.activeTimers(), 0u);
    EXPECT_EQ(queues.nextTimerTime(), std::nullopt);
}

TEST(RunLoopQueuesTest, TasksPostedByATaskWaitForTheNextTurn) {
    RunLoopQueues queues(MissedTicks::skip);
    int ran = 0;
    queues.post([&] {
        ++ran;
        queues.post([&] { ++ran; });
    });
    EXPECT_EQ(queues.runPosted(), 1u);
    EXPECT_EQ(queues.pendingTasks(), 1u);
    EXPECT_EQ(queues.runPosted(), 1u);
    EXPECT_EQ(ran, 2);
}

TEST(RunLoopQueuesTest, ACallbackThatUnwatchesAnotherStopsItsDispatch) {
    RunLoopQueues queues(MissedTicks::skip);
    int second = 0;
    WatchID other = 0;
    const WatchID first = queues.watchReadable(3, [&] { queues.unwatch(other); });
    other = queues.watchReadable(4, [&] { ++second; });

    const auto snapshot = queues.watches();
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(snapshot[0], std::make_pair(first, 3));
    for (const auto& [id, fd] : snapshot) {
        queues.notifyReadable(id);
    }
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(queues.notifyReadable(other));
    EXPECT_FALSE(queues.unwatch(other));
}

}  // namespace
}  // namespace vorn::platform
