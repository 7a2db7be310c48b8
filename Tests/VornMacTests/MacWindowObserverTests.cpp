#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "MacWindowManager.h"
#include "MacWindowObserver.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using namespace std::chrono_literals;

class MacWindowObserverTest : public ::testing::Test {
protected:
    MacWindowObserverTest() {
        world.addApp(10, "org.example.editor", "Editor");
        world.addWindow(4711, 10, Rect(0, 0, 800, 600));
        world.addApp(20, "org.example.empty", "Empty");
    }

    std::unique_ptr<MacWindowObserver> startedObserver() {
        auto observer =
            std::make_unique<MacWindowObserver>(world.services.workspace, world.services.runLoop);
        observer->start(
            [this](std::int32_t pid) -> std::optional<WindowID> {
                resolved.push_back(pid);
                if (auto* app = world.desktop.application(pid); app && app->focusedWindow) {
                    return WindowID(*app->focusedWindow);
                }
                return std::nullopt;
            },
            [this](WindowChange change) { changes.push_back(change); });
        return observer;
    }
    // Runs what the desktop posted, without moving time.
    void deliver() { world.runLoop().drain(); }
    void wait(platform::Duration duration) {
        (void)world.runLoop().runUntil(world.desktop.clock().now() + duration);
    }

    test::CapturingLogSink logs;
    test::SimulatedWorld world;
    std::vector<std::int32_t> resolved;
    std::vector<WindowChange> changes;
};

TEST_F(MacWindowObserverTest, EachWorkspaceEventGivesOneChange) {
    auto observer = startedObserver();
    struct Case {
        const char* name;
        std::function<void()> event;
        WindowChange expected;
    };
    const std::vector<Case> cases = {
        {"activation with a focused window", [&] { world.desktop.activateApplication(10); },
         WindowChange::focused(WindowID(4711))},
        {"activation of an application without windows",
         [&] { world.desktop.activateApplication(20); }, WindowChange::changed()},
        {"activation without an application",
         [&] {
             world.desktop.notify(platform::WorkspaceNotification::didActivateApplication,
                                  std::nullopt);
         },
         WindowChange::changed()},
        {"launch", [&] { world.desktop.launchApplication({.pid = 30, .bundleId = "org.x"}); },
         WindowChange::changed()},
        {"termination", [&] { world.desktop.terminateApplication(30); }, WindowChange::changed()},
        {"desktop change", [&] { world.desktop.switchDesktop(); }, WindowChange::changed()},
        // Named by the platform: no need to ask, also for another window of the same process.
        {"activation naming the window",
         [&] {
             world.desktop.notify(platform::WorkspaceNotification::didActivateApplication, 10,
                                  4712);
         },
         WindowChange::focused(WindowID(4712))},
        {"windows changed",
         [&] { world.desktop.notify(platform::WorkspaceNotification::windowsDidChange, {}); },
         WindowChange::changed()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        changes.clear();
        c.event();
        deliver();
        EXPECT_EQ(changes, std::vector<WindowChange>{c.expected});
    }
    // Only activations ask for the focused window.
    EXPECT_EQ(resolved, (std::vector<std::int32_t>{10, 20}));
}

TEST_F(MacWindowObserverTest, ThePollReportsAPlainChangeEveryInterval) {
    auto observer = startedObserver();
    wait(1499ms);
    EXPECT_TRUE(changes.empty());
    wait(1ms);
    EXPECT_EQ(changes, std::vector<WindowChange>{WindowChange::changed()});
    wait(3s);
    EXPECT_EQ(changes.size(), 3u);
}

TEST_F(MacWindowObserverTest, NothingArrivesOnceTheObserverIsReleased) {
    auto observer = startedObserver();
    world.desktop.activateApplication(10);  // announced, not yet delivered
    observer.reset();
    EXPECT_EQ(logs.count("observer",
                         "observer torn down (poll timer invalidated, workspace "
                         "observers removed)"),
              1u);
    deliver();
    wait(10s);
    world.desktop.switchDesktop();
    deliver();
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(world.desktop.runLoop().activeTimers(), 0u);
    EXPECT_EQ(world.desktop.countCalls("ws.removeObserver"), 5u);
}

TEST_F(MacWindowObserverTest, StartingAgainReplacesTheFirstObservations) {
    auto observer = startedObserver();
    std::vector<WindowChange> second;
    observer->start([](std::int32_t) { return std::optional<WindowID>(); },
                    [&second](WindowChange change) { second.push_back(change); });
    EXPECT_EQ(world.desktop.countCalls("ws.addObserver"), 10u);
    EXPECT_EQ(world.desktop.countCalls("ws.removeObserver"), 5u);
    EXPECT_EQ(world.desktop.runLoop().activeTimers(), 1u);

    world.desktop.activateApplication(10);
    deliver();
    wait(1500ms);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(second,
              (std::vector<WindowChange>{WindowChange::changed(), WindowChange::changed()}));
}

TEST_F(MacWindowObserverTest, AHandlerMayReleaseTheObserverItIsCalledBy) {
    std::unique_ptr<MacWindowObserver> observer =
        std::make_unique<MacWindowObserver>(world.services.workspace, world.services.runLoop);
    int calls = 0;
    observer->start([](std::int32_t) { return std::optional<WindowID>(WindowID(1)); },
                    [&](WindowChange) {
                        ++calls;
                        observer.reset();
                    });
    world.desktop.activateApplication(10);
    world.desktop.switchDesktop();
    deliver();
    wait(5s);
    EXPECT_EQ(calls, 1);
}

TEST_F(MacWindowObserverTest, TheManagerReportsFocusThroughItsObserver) {
    auto manager = MacWindowManager::create(world.context, 1);
    manager->observe([this](WindowChange change) { changes.push_back(change); });
    world.desktop.activateApplication(10);
    world.desktop.activateApplication(20);
    deliver();
    // A focused window whose number cannot be read is a plain change, never a lost one.
    world.desktop.window(4711)->windowNumberFails = true;
    world.desktop.activateApplication(10);
    deliver();
    EXPECT_EQ(changes,
              (std::vector<WindowChange>{WindowChange::focused(WindowID(4711)),
                                         WindowChange::changed(), WindowChange::changed()}));

    changes.clear();
    world.desktop.activateApplication(20);
    manager.reset();
    deliver();
    wait(5s);
    EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace vorn
