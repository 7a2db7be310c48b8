#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "System/SharedSlot.h"

namespace vorn::tally::system {
namespace {

struct Thing {
    int number = 0;
    // When set, the destructor reaches into the slot, as a tracker's teardown may.
    std::function<void()> onDestroy;
    ~Thing() {
        if (onDestroy) {
            onDestroy();
        }
    }
};

TEST(SharedSlotTests, FirstUsersOnManyThreadsShareOneObject) {
    SharedSlot<Thing> slot;
    std::atomic<int> made{0};
    std::vector<std::shared_ptr<Thing>> seen(8);
    std::vector<std::thread> threads;
    for (auto& result : seen) {
        threads.emplace_back([&] {
            result = slot.get([&] {
                auto thing = std::make_shared<Thing>();
                thing->number = ++made;
                return thing;
            });
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(made.load(), 1);
    for (const auto& result : seen) {
        EXPECT_EQ(result, seen.front());
    }
}

TEST(SharedSlotTests, AReplacedObjectIsReleasedOutsideTheLock) {
    SharedSlot<Thing> slot;
    auto make = [](int number) {
        return [number] {
            auto thing = std::make_shared<Thing>();
            thing->number = number;
            return thing;
        };
    };
    std::shared_ptr<Thing> seenWhileDestroyed;
    auto first = slot.get(make(1));
    first->onDestroy = [&] { seenWhileDestroyed = slot.get(make(2)); };
    first.reset();

    // Under the lock this would deadlock; outside it the slot is already empty and makes anew.
    slot.reset();
    ASSERT_NE(seenWhileDestroyed, nullptr);
    EXPECT_EQ(seenWhileDestroyed->number, 2);
    EXPECT_EQ(slot.get(make(3)), seenWhileDestroyed);

    seenWhileDestroyed->onDestroy = [&] { slot.get(make(4)); };
    seenWhileDestroyed.reset();
    slot.set(make(5)());
    EXPECT_EQ(slot.get(make(6))->number, 5);
}

}  // namespace
}  // namespace vorn::tally::system
