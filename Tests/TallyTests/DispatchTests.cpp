#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "ManualExecutor.h"
#include "System/ConcurrentQueue.h"
#include "System/Dispatch.h"
#include "System/OneShotTimer.h"
#include "System/SerialQueue.h"
#include "System/TimeSource.h"
#include "VirtualTimeSource.h"

namespace vorn::tally::system {
namespace {

class DispatchTests : public ::testing::Test {
protected:
    void SetUp() override {
        time = std::make_shared<test::VirtualTimeSource>();
        setTimeSource(time);
    }
    void TearDown() override {
        shutdownDispatch();
        setMainExecutor(nullptr);
        setTimeSource(nullptr);
    }

    std::shared_ptr<test::VirtualTimeSource> time;
};

TEST_F(DispatchTests, SerialQueueRunsTasksInOrderOneAtATime) {
    std::vector<int> order;
    {
        SerialQueue queue("test.serial");
        for (int i = 0; i < 100; ++i) {
            queue.async([&order, i] { order.push_back(i); });
        }
        // The destructor runs what is still queued.
    }
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST_F(DispatchTests, SyncWaitsAndRunsInlineOnTheQueuesOwnThread) {
    SerialQueue queue("test.sync");
    int value = 0;
    queue.sync([&] { value = 1; });
    EXPECT_EQ(value, 1);
    bool nested = false;
    queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        queue.sync([&] { nested = true; });
    });
    EXPECT_TRUE(nested);
    EXPECT_FALSE(queue.isCurrent());
}

TEST_F(DispatchTests, AQueueReleasedByItsOwnTaskDoesNotDeadlock) {
    auto queue = std::make_shared<SerialQueue>("test.self");
    std::promise<void> released;
    auto holder = std::make_shared<std::shared_ptr<SerialQueue>>(queue);
    queue->async([holder, &released] {
        holder->reset();
        released.set_value();
    });
    queue.reset();
    released.get_future().wait();
}

TEST_F(DispatchTests, BarrierBlocksRunAlone) {
    ConcurrentQueue<std::pair<int, int>> guarded;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                guarded.barrierSync([](auto& pair) {
                    ++pair.first;
                    ++pair.second;
                });
                EXPECT_TRUE(
                    guarded.sync([](const auto& pair) { return pair.first == pair.second; }));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(guarded.sync([](const auto& pair) { return pair.first; }), 4000);
}

TEST_F(DispatchTests, TimersFireOnTheirQueueAfterTheDelay) {
    auto main = std::make_shared<vorn::test::ManualExecutor>();
    setMainExecutor(main);
    std::vector<std::string> fired;
    auto first = OneShotTimer::start(mainQueue(), 2.0, [&] { fired.push_back("two"); });
    OneShotTimer::start(mainQueue(), 1.0, [&] { fired.push_back("one"); });
    time->advance(1.5);
    main->drain();
    EXPECT_EQ(fired, std::vector<std::string>{"one"});
    time->advance(0.5);
    main->drain();
    EXPECT_EQ(fired, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(time->pendingCount(), 0u);
}

TEST_F(DispatchTests, CancelledTimersNeverRun) {
    auto main = std::make_shared<vorn::test::ManualExecutor>();
    setMainExecutor(main);
    int runs = 0;
    auto early = OneShotTimer::start(mainQueue(), 1.0, [&] { ++runs; });
    early->cancel();
    EXPECT_EQ(time->pendingCount(), 0u);
    // Already handed to the queue when cancelled: the queue still drops it.
    auto late = OneShotTimer::start(mainQueue(), 1.0, [&] { ++runs; });
    time->advance(1.0);
    EXPECT_EQ(main->pending(), 1u);
    late->cancel();
    main->drain();
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(late->isCancelled());
}

TEST_F(DispatchTests, DelayedWorkForAQueueThatIsGoneIsDropped) {
    auto queue = std::make_shared<SerialQueue>("test.gone");
    std::atomic<int> runs{0};
    asyncAfter(queue, 1.0, [&] { ++runs; });
    queue.reset();
    time->advance(2.0);
    EXPECT_EQ(runs, 0);
}

TEST_F(DispatchTests, GlobalQueueRunsEverythingBeforeItIsIdle) {
    std::atomic<int> runs{0};
    for (int i = 0; i < 200; ++i) {
        globalUtilityQueue()->async([&] { ++runs; });
    }
    asyncAfter(globalUtilityQueue(), 0.05, [&] { ++runs; });
    waitForGlobalUtilityQueue();
    EXPECT_EQ(runs, 200);
    time->advance(0.05);
    waitForGlobalUtilityQueue();
    EXPECT_EQ(runs, 201);
    // Joined and started again on demand.
    shutdownDispatch();
    globalUtilityQueue()->async([&] { ++runs; });
    waitForGlobalUtilityQueue();
    EXPECT_EQ(runs, 202);
}

TEST_F(DispatchTests, WithoutAnExecutorOneStandInThreadRunsMainTasksInOrder) {
    std::vector<int> order;
    std::set<std::thread::id> threads;
    std::promise<void> done;
    for (int i = 0; i < 50; ++i) {
        mainQueue()->async([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
            if (i == 49) {
                done.set_value();
            }
        });
    }
    done.get_future().wait();
    EXPECT_EQ(order.size(), 50u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(threads.size(), 1u);
}

TEST(SystemTimeSourceTests, FiresOnRealTimeAndStopsCleanly) {
    setTimeSource(nullptr);
    std::promise<void> fired;
    asyncAfter(globalUtilityQueue(), 0.0, [&] { fired.set_value(); });
    fired.get_future().wait();
    std::atomic<int> late{0};
    asyncAfter(globalUtilityQueue(), 3600.0, [&] { ++late; });
    shutdownDispatch();
    EXPECT_EQ(late, 0);
}

}  // namespace
}  // namespace vorn::tally::system
