#include <gtest/gtest.h>

#include "MacWindowManagerFixture.h"

namespace vorn {
namespace {

using platform::Value;

class MacWindowManagerListingTest : public test::MacWindowManagerTest {
protected:
    void addSecondDisplay() {
        world.desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1280, 1024), .name = "Side"});
    }
};

TEST_F(MacWindowManagerListingTest, ListsTheWindowsOfOtherProcessesFrontToBack) {
    world.addWindow(1, editor, Rect(100, 280, 800, 600), "Notes").document = "/Users/a/notes.txt";
    world.addApp(world.desktop.ownPID, "org.vorn.Vorn", "Vorn");
    world.addWindow(2, world.desktop.ownPID, Rect(0, 0, 160, 1080), "Sidebar");
    world.addWindow(3, viewer, Rect(0, 0, 400, 300), "Photo");
    world.addWindow(4, editor, Rect(10, 10, 300, 200), "Draft").minimized = true;
    world.addWindow(5, viewer, Rect(10, 10, 300, 200), "Other desktop").onOtherDesktop = true;

    const auto listed = manager().listWindows();
    ASSERT_TRUE(listed);
    const AppRef editorApp{"org.example.editor", "Editor"};
    const AppRef viewerApp{"org.example.viewer", "Viewer"};
    EXPECT_EQ(*listed, (std::vector<WindowInfo>{
                           {WindowID(3), viewerApp, "Photo", Rect(0, 780, 400, 300),
                            WindowState::normal, std::nullopt},
                           {WindowID(1), editorApp, "Notes", Rect(100, 200, 800, 600),
                            WindowState::normal, "/Users/a/notes.txt"},
                       }));
}

TEST_F(MacWindowManagerListingTest, FramesAreConvertedAgainstThePrimaryScreensTop) {
    // The primary display is 1080 high: top-left y 280 with height 600 is bottom-left y 200.
    world.addWindow(1, editor, Rect(100, 280, 800, 600));
    EXPECT_EQ(manager().listWindows()->front().frame, Rect(100, 200, 800, 600));
    EXPECT_EQ(manager().frame(WindowID(1)), Rect(100, 200, 800, 600));

    // A taller primary display moves every converted frame by the difference.
    world.desktop.display(1)->bounds = Rect(0, 0, 1920, 1200);
    EXPECT_EQ(manager().listWindows()->front().frame, Rect(100, 320, 800, 600));
}

TEST_F(MacWindowManagerListingTest, OnlyWindowsWhoseLargestShareIsOnTheTargetDisplay) {
    addSecondDisplay();
    struct Case {
        const char* name;
        Rect frame;
        std::optional<std::uint32_t> home;
    };
    const std::vector<Case> cases = {
        {"inside the first", Rect(100, 100, 800, 600), 1},
        {"inside the second", Rect(2000, 100, 800, 600), 2},
        {"mostly on the second", Rect(1800, 100, 800, 600), 2},
        {"mostly on the first", Rect(1500, 100, 800, 600), 1},
        {"an equal share goes to the earlier display", Rect(1520, 100, 800, 600), 1},
        {"outside every display", Rect(5000, 5000, 800, 600), std::nullopt},
        {"touching an edge only", Rect(0, 1080, 800, 600), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world.addWindow(1, editor, c.frame);
        for (std::uint32_t target : {1u, 2u}) {
            targetDisplay = target;
            auto manager = MacWindowManager::create(world.context, target);
            EXPECT_EQ(manager->listWindows()->size(), c.home == target ? 1u : 0u);
            EXPECT_EQ(manager->isOnCurrentScreen(WindowID(1)), c.home == target);
        }
        // Without a target display every on-screen window is listed, wherever it is.
        EXPECT_EQ(MacWindowManager::create(world.context, std::nullopt)->listWindows()->size(), 1u);
    }
}

TEST_F(MacWindowManagerListingTest, AccessibilityWindowsAreMatchedByNumber) {
    world.addWindow(1, editor, Rect(0, 0, 800, 600), "First");
    world.addWindow(2, editor, Rect(0, 0, 800, 600), "Second");
    world.addWindow(3, editor, Rect(0, 0, 800, 600), "Hidden from accessibility").accessible =
        false;
    sim(1).windowNumberFails = true;

    const auto listed = manager().listWindows();
    ASSERT_EQ(listed->size(), 3u);
    // Equal frames cannot tell them apart; the number can. A window whose number cannot be read,
    // or that accessibility does not show, is listed without a title.
    EXPECT_EQ((*listed)[0].title, "");
    EXPECT_EQ((*listed)[1].title, "Second");
    EXPECT_EQ((*listed)[2].title, "");
    EXPECT_EQ((*listed)[2].docPath, std::nullopt);
}

TEST_F(MacWindowManagerListingTest, WithoutWindowNumbersTheNearestFrameMatches) {
    world.desktop.missingEntryPoints.insert("_AXUIElementGetWindow");
    world.addWindow(1, editor, Rect(0, 0, 800, 600), "Far");
    world.addWindow(2, editor, Rect(10, 10, 800, 600), "Near");
    // Accessibility reports the window a little off from the window server.
    sim(2).attributeOverrides["AXPosition"] = Value::point({12, 11});
    world.addWindow(3, viewer, Rect(0, 0, 800, 600), "Only window");
    sim(3).failingAttributes = {"AXPosition", "AXSize"};

    const auto listed = manager().listWindows();
    ASSERT_EQ(listed->size(), 3u);
    EXPECT_EQ((*listed)[0].title, "Only window");  // matched although its frame is unreadable
    EXPECT_EQ((*listed)[1].title, "Near");
    EXPECT_EQ((*listed)[2].title, "Far");

    // Two accessibility windows equally near: the first the application lists wins.
    sim(2).attributeOverrides.clear();
    sim(1).frame = Rect(20, 20, 800, 600);
    world.addWindow(4, editor, Rect(15, 15, 800, 600), "Twin").accessible = false;
    const auto again = manager().listWindows();
    // Window 4 sits 10 from both accessibility windows (2 at 10,10 and 1 at 20,20); 2 comes
    // first in the application's order.
    EXPECT_EQ((*again)[0].title, "Near");
}

TEST_F(MacWindowManagerListingTest, ApplicationsWithoutABundleOrNameFallBack) {
    world.desktop.addApplication({.pid = 30});
    world.addWindow(1, 30, Rect(0, 0, 800, 600), "Tool");
    world.desktop.windowListHook = [](std::uint32_t, Value list) -> std::optional<Value> {
        Value::Array entries;
        for (const Value& entry : *list.asArray()) {
            Value::Dictionary fields = *entry.asDictionary();
            fields["kCGWindowOwnerName"] = Value::string("tool-daemon");
            entries.push_back(Value::dictionary(std::move(fields)));
        }
        return Value::array(std::move(entries));
    };
    const auto listed = manager().listWindows();
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ(listed->front().app, (AppRef{"pid:30", "tool-daemon"}));
}

TEST_F(MacWindowManagerListingTest, EachProcessIsAskedForItsWindowsOncePerListing) {
    world.addWindow(1, editor, Rect(0, 0, 800, 600));
    world.addWindow(2, editor, Rect(0, 0, 800, 600));
    world.addWindow(3, viewer, Rect(0, 0, 800, 600));
    world.desktop.clearCalls();
    (void)manager().listWindows();
    EXPECT_EQ(world.desktop.countCalls("ax.copy app:10 AXWindows"), 1u);
    EXPECT_EQ(world.desktop.countCalls("ax.copy app:20 AXWindows"), 1u);
}

TEST_F(MacWindowManagerListingTest, AnUntrustworthySessionGivesNoListAndSaysWhy) {
    world.addWindow(1, editor, Rect(0, 0, 800, 600));
    struct Case {
        const char* name;
        std::optional<Value> session;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"locked",
         Value::dictionary({{"CGSSessionScreenIsLocked", Value::boolean(true)},
                            {"kCGSSessionOnConsoleKey", Value::boolean(true)}}),
         "listWindows: untrustworthy (locked) -> nil"},
        {"not on the console", Value::dictionary({{"CGSSessionScreenIsLocked", Value::integer(0)}}),
         "listWindows: untrustworthy (offConsole) -> nil"},
        {"empty", Value::dictionary({}), "listWindows: untrustworthy (offConsole) -> nil"},
        {"not a dictionary", Value::string("session"),
         "listWindows: untrustworthy (noSessionDict) -> nil"},
        {"no session", std::nullopt, "listWindows: untrustworthy (noSessionDict) -> nil"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world.desktop.sessionDictionary = c.session;
        logs.clear();
        EXPECT_EQ(manager().listWindows(), std::nullopt);
        EXPECT_TRUE(logs.contains("windowmanager", c.line));
    }
}

TEST_F(MacWindowManagerListingTest, NoWindowListIsNotAnEmptyOne) {
    world.desktop.windowListHook = [](std::uint32_t, Value) { return std::nullopt; };
    EXPECT_EQ(manager().listWindows(), std::nullopt);
    EXPECT_TRUE(logs.contains(
        "windowmanager", "listWindows: CGWindowList NULL (no GUI session) -> untrustworthy (nil)"));
    EXPECT_FALSE(manager().isOnCurrentScreen(WindowID(1)));

    world.desktop.windowListHook = nullptr;
    // The count of every window costs a second listing, made only when debug lines are wanted.
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        setMinimumLogLevel(debug ? LogLevel::debug : LogLevel::notice);
        logs.clear();
        const std::size_t before = world.desktop.countCalls("windowList");
        EXPECT_EQ(manager().listWindows(), std::vector<WindowInfo>{});
        EXPECT_EQ(world.desktop.countCalls("windowList") - before, debug ? 2u : 1u);
        EXPECT_EQ(
            logs.contains("windowmanager", "listWindows: trustworthy onScreen=0 allWindows=0"),
            debug);
    }
    setMinimumLogLevel(LogLevel::debug);
}

}  // namespace
}  // namespace vorn

namespace vorn {
namespace {

using test::MacWindowManagerTest;

// Where the platform notifies of every window change, the listing is reused until a
// notification arrives, and a poll tick meanwhile passes as unchanged; elsewhere, and before
// observation starts, every listing reads afresh.
TEST(MacWindowManagerReuseTest, AListingIsReusedOnlyUntilTheNextNotification) {
    struct Case {
        const char* name;
        bool notifiesEverything;
        bool observed;
        bool reused;
    };
    const Case cases[] = {
        {"every change notified", true, true, true},
        {"not every change notified", false, true, false},
        {"not observed", true, false, false},
    };
    // Debug lines would cost a second listing each time.
    setMinimumLogLevel(LogLevel::notice);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::SimulatedWorld world;
        world.addApp(10, "org.example.editor", "Editor");
        world.addWindow(1, 10, Rect(0, 0, 400, 300), "One");
        world.desktop.notifiesEveryWindowChange = c.notifiesEverything;
        auto manager = MacWindowManager::create(world.context, std::nullopt);
        std::vector<WindowChange> changes;
        if (c.observed) {
            manager->observe([&](WindowChange change) { changes.push_back(change); });
        }
        ASSERT_EQ(manager->listWindows()->front().title, "One");
        // The poll's tick passes as unchanged while the listing it would make is the last one.
        const auto tick = [&] {
            changes.clear();
            world.runLoop().runUntil(world.runLoop().now() + MacWindowObserver::pollInterval);
            return changes.empty() ? std::nullopt : std::optional(changes.back().kind);
        };
        const auto quiet = c.reused ? WindowChange::Kind::unchanged : WindowChange::Kind::changed;
        if (c.observed) {
            EXPECT_EQ(tick(), quiet);
        }

        world.desktop.window(1)->title = "Renamed";
        const std::size_t before = world.desktop.countCalls("windowList");
        EXPECT_EQ(manager->listWindows()->front().title, c.reused ? "One" : "Renamed");
        EXPECT_EQ(world.desktop.countCalls("windowList") - before, c.reused ? 0u : 1u);

        // A notification, as the platform gives for the change.
        world.desktop.notify(platform::WorkspaceNotification::windowsDidChange, std::nullopt);
        world.runLoop().drain();
        if (c.observed) {
            EXPECT_EQ(tick(), WindowChange::Kind::changed);
        }
        EXPECT_EQ(manager->listWindows()->front().title, "Renamed");
        if (c.observed) {
            EXPECT_EQ(tick(), quiet);
        }
    }
    setMinimumLogLevel(LogLevel::debug);
}

}  // namespace
}  // namespace vorn
