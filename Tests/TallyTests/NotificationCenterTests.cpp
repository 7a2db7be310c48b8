#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "System/NotificationCenter.h"

namespace vorn::tally::system {
namespace {

TEST(NotificationCenterTests, DeliversToObserversOfTheNameInOrder) {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    std::vector<std::string> calls;
    auto first = center.addObserver(Notification::willTerminate, [&] { calls.push_back("1"); });
    auto other = center.addObserver(Notification::didBecomeActive, [&] { calls.push_back("x"); });
    auto second = center.addObserver(Notification::willTerminate, [&] { calls.push_back("2"); });
    center.post(Notification::willTerminate);
    EXPECT_EQ(calls, (std::vector<std::string>{"1", "2"}));

    calls.clear();
    first.reset();
    EXPECT_FALSE(first.active());
    center.post(Notification::willTerminate);
    EXPECT_EQ(calls, std::vector<std::string>{"2"});

    calls.clear();
    {
        Subscription moved = std::move(second);
        EXPECT_TRUE(moved.active());
        center.post(Notification::willTerminate);
    }
    center.post(Notification::willTerminate);
    EXPECT_EQ(calls, std::vector<std::string>{"2"});
}

TEST(NotificationCenterTests, AHandlerMayRemoveItself) {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    int calls = 0;
    Subscription token;
    token = center.addObserver(Notification::willResignActive, [&] {
        ++calls;
        token.reset();
    });
    center.post(Notification::willResignActive);
    center.post(Notification::willResignActive);
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTests, NoHandlerRunsAfterItsTokenIsReset) {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    for (int round = 0; round < 50; ++round) {
        std::atomic<bool> removed{false};
        std::atomic<bool> lateCall{false};
        auto token = center.addObserver(Notification::didBecomeActive, [&] {
            if (removed.load()) {
                lateCall = true;
            }
        });
        std::atomic<bool> stop{false};
        std::thread poster([&] {
            while (!stop.load()) {
                center.post(Notification::didBecomeActive);
            }
        });
        token.reset();
        removed = true;
        stop = true;
        poster.join();
        EXPECT_FALSE(lateCall.load()) << round;
    }
}

}  // namespace
}  // namespace vorn::tally::system
