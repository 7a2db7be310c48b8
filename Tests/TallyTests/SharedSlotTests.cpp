#include <atomic>
#include <functional>
#include <future>
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

TEST(SharedSlotTests, AFactoryRunsWithTheSlotFree) {
    SharedSlot<Thing> slot;
    std::promise<void> entered;
    std::promise<void> proceed;
    std::thread maker([&] {
        slot.get([&] {
            entered.set_value();
            proceed.get_future().wait();
            return std::make_shared<Thing>();
        });
    });
    entered.get_future().wait();

    // While one user makes the object, others read and replace without waiting for it; the
    // object a writer put there meanwhile wins over the one being made.
    EXPECT_EQ(slot.current(), nullptr);
    auto installed = std::make_shared<Thing>();
    installed->number = 7;
    slot.set(installed);
    proceed.set_value();
    maker.join();
    EXPECT_EQ(slot.get([] { return std::make_shared<Thing>(); }), installed);

    // Every owner's process-wide slot is its own, and the same one on every call.
    struct OtherOwner;
    EXPECT_EQ(&processSlot<Thing>(), &processSlot<Thing>());
    SharedSlot<Thing>& ownSlot = processSlot<Thing, OtherOwner>();
    EXPECT_NE(&processSlot<Thing>(), &ownSlot);
}

}  // namespace
}  // namespace vorn::tally::system
