#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PollRunLoop.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorn::platform {
namespace {

using namespace std::chrono_literals;

// Runs the loop until the condition holds; each turn waits at most a second, so a broken loop
// fails the test instead of hanging it.
template <typename Condition>
void runUntilTrue(PollRunLoop& loop, Condition condition, int maxTurns = 1000) {
    for (int turn = 0; turn < maxTurns && !condition(); ++turn) {
        loop.runUntil(loop.now() + 1s);
    }
    ASSERT_TRUE(condition());
}

TEST(PollRunLoopTest, TasksPostedFromOtherThreadsRunOnTheLoopThreadInOrder) {
    PollRunLoop loop;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> seen;
    std::atomic<bool> offThread{false};

    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                loop.post([&, value = t * 1000 + i] {
                    if (std::this_thread::get_id() != loopThread) {
                        offThread = true;
                    }
                    seen.push_back(value);
                });
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    runUntilTrue(loop, [&] { return seen.size() == 200; });

    EXPECT_FALSE(offThread);
    for (int t = 0; t < 4; ++t) {
        int last = -1;
        for (int value : seen) {
            if (value / 1000 == t) {
                EXPECT_GT(value, last);
                last = value;
            }
        }
    }
}

TEST(PollRunLoopTest, PostNeverRunsInlineAndRunReturnsAfterHandlingIt) {
    PollRunLoop loop;
    bool ran = false;
    loop.post([&] { ran = true; });
    EXPECT_FALSE(ran);
    // A deadline already past still runs what is ready.
    EXPECT_EQ(loop.runUntil(loop.now() - 1s), RunResult::handledSource);
    EXPECT_TRUE(ran);
    EXPECT_EQ(loop.runUntil(loop.now() - 1s), RunResult::timedOut);
}

TEST(PollRunLoopTest, TimersFireWithoutEndingTheRunAndStopWhenCancelled) {
    PollRunLoop loop;
    int repeating = 0;
    int once = 0;
    TimerID timer = 0;
    timer = loop.addTimer(1ms, true, [&] {
        if (++repeating == 3) {
            loop.cancelTimer(timer);
        }
    });
    loop.addTimer(1ms, false, [&] { ++once; });

    const auto start = loop.now();
    EXPECT_EQ(loop.runUntil(start + 30ms), RunResult::timedOut);
    EXPECT_GE(loop.now(), start + 30ms);
    EXPECT_EQ(repeating, 3);
    EXPECT_EQ(once, 1);

    EXPECT_EQ(loop.runUntil(loop.now() + 5ms), RunResult::timedOut);
    EXPECT_EQ(repeating, 3);
}

TEST(PollRunLoopTest, ReadableDescriptorsCallTheirWatcherUntilUnwatched) {
    PollRunLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    std::string received;
    const WatchID watch = loop.watchReadable(fds[0], [&] {
        char buffer[16];
        const auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        }
    });

    ASSERT_EQ(::write(fds[1], "ab", 2), 2);
    EXPECT_EQ(loop.runUntil(loop.now() + 1s), RunResult::handledSource);
    EXPECT_EQ(received, "ab");

    loop.unwatch(watch);
    ASSERT_EQ(::write(fds[1], "c", 1), 1);
    EXPECT_EQ(loop.runUntil(loop.now() + 5ms), RunResult::timedOut);
    EXPECT_EQ(received, "ab");
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(PollRunLoopTest, StopFromAnotherThreadEndsRun) {
    PollRunLoop loop;
    std::atomic<bool> started{false};
    loop.post([&] { started = true; });
    std::thread stopper([&] {
        while (!started) {
            std::this_thread::yield();
        }
        loop.stop();
    });
    loop.run();
    stopper.join();
    EXPECT_TRUE(started);
}

}  // namespace
}  // namespace vorn::platform
