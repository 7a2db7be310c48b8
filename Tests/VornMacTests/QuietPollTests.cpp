#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "MacWindowManager.h"
#include "RecordingStore.h"
#include "SidebarModel.h"
#include "SidebarModelHarness.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using namespace std::chrono_literals;

// Posts to the run loop and counts what it was given.
class CountingExecutor final : public MainExecutor {
public:
    explicit CountingExecutor(platform::RunLoop& runLoop)
        : m_runLoop(runLoop) {}
    void post(std::function<void()> task) override {
        ++posted;
        m_runLoop.post(std::move(task));
    }
    std::size_t posted = 0;

private:
    platform::RunLoop& m_runLoop;
};

// The model over the window layer on the simulated desktop, its clock on the run loop's time.
class QuietPollTest : public ::testing::Test {
protected:
    QuietPollTest() {
        world.addApp(10, "org.example.editor", "Editor");
        world.addWindow(1, 10, Rect(300, 100, 800, 600), "One");
        world.addWindow(2, 10, Rect(330, 130, 800, 600), "Two");
    }

    void startModel(bool notifiesEverything) {
        world.desktop.notifiesEveryWindowChange = notifiesEverything;
        manager = MacWindowManager::create(world.context, 1);
        model = SidebarModel::make(manager, store, nullptr, nullptr, executor,
                                   [this] { return Date(700000000).adding(secondsRun()); });
        world.runLoop().drain();
    }
    double secondsRun() {
        return std::chrono::duration<double>(world.desktop.clock().now() - begin).count();
    }
    // Runs the loop for the duration; how many tasks the model posted meanwhile.
    std::size_t run(platform::Duration duration) {
        const std::size_t before = executor->posted;
        auto& loop = world.runLoop();
        const auto deadline = loop.now() + duration;
        while (loop.now() < deadline) {
            (void)loop.runUntil(deadline);
        }
        loop.drain();
        return executor->posted - before;
    }
    std::size_t timers() { return world.runLoop().activeTimers(); }
    std::size_t saves() const { return store->saves.size(); }

    test::CapturingLogSink logs;
    test::SimulatedWorld world;
    const platform::MonotonicTime begin = world.desktop.clock().now();
    std::shared_ptr<test::RecordingStore> store = std::make_shared<test::RecordingStore>();
    std::shared_ptr<CountingExecutor> executor =
        std::make_shared<CountingExecutor>(world.runLoop());
    std::shared_ptr<MacWindowManager> manager;
    std::shared_ptr<SidebarModel> model;
};

TEST_F(QuietPollTest, ASettledModelLeavesThePollAsleepOnlyWhereEveryChangeIsNotified) {
    for (const bool notifiesEverything : {true, false}) {
        SCOPED_TRACE(notifiesEverything ? "every change notified" : "not every change notified");
        startModel(notifiesEverything);
        // Asleep, nothing wakes the program; elsewhere every tick is a plain change to read.
        EXPECT_EQ(timers(), notifiesEverything ? 0u : 1u);
        EXPECT_EQ(run(60s), notifiesEverything ? 0u : 40u);

        // A notification brings the change at once, and the poll sleeps again after it.
        world.desktop.window(1)->title = "Renamed";
        world.desktop.notify(platform::WorkspaceNotification::windowsDidChange, std::nullopt);
        world.runLoop().drain();
        EXPECT_EQ(model->ambient().back().title, "Renamed");
        EXPECT_EQ(timers(), notifiesEverything ? 0u : 1u);
        // Notifications that change nothing shown: the second repeats a settled refresh, which
        // is skipped, and the poll sleeps again all the same.
        for (int repeat = 0; repeat < 2; ++repeat) {
            world.desktop.notify(platform::WorkspaceNotification::windowsDidChange, std::nullopt);
            world.runLoop().drain();
            EXPECT_EQ(timers(), notifiesEverything ? 0u : 1u);
        }
        model.reset();
        manager.reset();
    }
}

TEST_F(QuietPollTest, AnEditASaveDueAndAClaimExpiryEachBringATickOnThePollsBeat) {
    // A claim that expires 10 s after the start: the first beat at or after it is at 10.5 s.
    store->stored.spaces = {test::makeSpace(
        "S", 0, {test::makeTab("org.example.editor", "Two", 0, {}, {}, Date(700000010))})};
    startModel(true);
    ASSERT_EQ(model->claimedTabs().size(), 1u);
    // Only the one-shot for the expiry waits.
    EXPECT_EQ(timers(), 1u);
    EXPECT_EQ(run(10490ms), 0u);
    EXPECT_EQ(run(10ms), 1u);
    EXPECT_TRUE(model->claimedTabs().empty());
    EXPECT_EQ(timers(), 0u);

    // An edit whose save fails, 0.7 s after a beat: the retry comes on the next beat, and every
    // beat after it until the save succeeds.
    (void)run(700ms);
    store->failing = true;
    model->setPlacementMode(PlacementMode::center);
    const std::size_t attempts = saves();
    EXPECT_EQ(run(790ms), 0u);
    EXPECT_EQ(run(10ms), 1u);
    EXPECT_EQ(saves(), attempts + 1);
    EXPECT_EQ(run(1500ms), 1u);
    store->failing = false;
    EXPECT_EQ(run(1500ms), 1u);
    EXPECT_EQ(store->stored.settings.placement, PlacementMode::center);
    EXPECT_EQ(timers(), 0u);
    EXPECT_EQ(run(60s), 0u);
}

}  // namespace
}  // namespace vorn
