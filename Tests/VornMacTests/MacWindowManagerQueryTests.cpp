#include <gtest/gtest.h>

#include "MacWindowManagerFixture.h"
#include "Uuid.h"

namespace vorn {
namespace {

using platform::Value;

class MacWindowManagerQueryTest : public test::MacWindowManagerTest {};

TEST_F(MacWindowManagerQueryTest, ConstructionBoundsEveryAccessibilityRequest) {
    (void)manager();
    EXPECT_EQ(world.desktop.systemMessagingTimeout, 1.0);
    EXPECT_EQ(world.desktop.countCalls("ax.timeout systemWide 1"), 1u);
}

TEST_F(MacWindowManagerQueryTest, WindowsAreAliveWhereverTheyAre) {
    world.addWindow(1, editor, Rect(0, 0, 800, 600));
    world.addWindow(2, editor, Rect(0, 0, 800, 600)).minimized = true;
    world.addWindow(3, editor, Rect(0, 0, 800, 600)).onOtherDesktop = true;
    world.desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1280, 1024)});
    world.addWindow(4, viewer, Rect(2000, 0, 800, 600));
    world.addWindow(5, viewer, Rect(0, 0, 800, 600));
    (void)manager().listWindows();
    world.desktop.closeWindow(5);

    EXPECT_TRUE(manager().isAlive(WindowID(1)));
    EXPECT_TRUE(manager().isAlive(WindowID(2)));
    EXPECT_TRUE(manager().isAlive(WindowID(3)));
    EXPECT_TRUE(manager().isAlive(WindowID(4)));
    EXPECT_FALSE(manager().isAlive(WindowID(5)));
    EXPECT_FALSE(manager().isAlive(WindowID(99)));

    // Without a window list, the owner's accessibility windows still tell.
    world.desktop.windowListHook = [](std::uint32_t, Value) { return std::nullopt; };
    EXPECT_TRUE(manager().isAlive(WindowID(1)));
    EXPECT_FALSE(manager().isAlive(WindowID(5)));
}

TEST_F(MacWindowManagerQueryTest, QueriesOnAWindowThatIsGoneGiveTheirDefaults) {
    world.addWindow(1, editor, Rect(0, 0, 800, 600));
    (void)manager().listWindows();
    world.desktop.closeWindow(1);
    EXPECT_EQ(manager().frame(WindowID(1)), std::nullopt);
    EXPECT_FALSE(manager().isAlive(WindowID(1)));
    EXPECT_FALSE(manager().isOnCurrentScreen(WindowID(1)));
    EXPECT_TRUE(manager().isResizable(WindowID(1)));
}

TEST_F(MacWindowManagerQueryTest, ResizableUnlessTheSizeIsKnownToBeFixed) {
    world.addWindow(1, editor, Rect(0, 0, 800, 600));
    world.addWindow(2, editor, Rect(0, 0, 800, 600)).resizable = false;
    world.addWindow(3, editor, Rect(0, 0, 800, 600)).failingAttributes = {"AXSize"};
    EXPECT_TRUE(manager().isResizable(WindowID(1)));
    EXPECT_FALSE(manager().isResizable(WindowID(2)));
    EXPECT_TRUE(manager().isResizable(WindowID(3)));
    EXPECT_EQ(manager().frame(WindowID(3)), std::nullopt);
}

TEST_F(MacWindowManagerQueryTest, WindowsOfAnApplicationAcrossItsProcesses) {
    world.desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1280, 1024)});
    world.desktop.addApplication({.pid = 11, .bundleId = "org.example.editor", .name = "Editor"});
    world.addWindow(1, editor, Rect(0, 0, 800, 600), "Main").document = "/tmp/a.txt";
    world.addWindow(2, editor, Rect(0, 0, 300, 200), "Palette").subrole = "AXFloatingWindow";
    world.addWindow(3, editor, Rect(0, 0, 39, 600), "Thin");
    world.addWindow(4, editor, Rect(2000, 0, 800, 600), "Elsewhere");
    world.addWindow(5, editor, Rect(2000, 0, 800, 600), "Tucked away").minimized = true;
    world.addWindow(6, editor, Rect(0, 0, 800, 600), "No number").windowNumberFails = true;
    world.addWindow(7, 11, Rect(0, 0, 800, 600), "");
    world.addWindow(8, viewer, Rect(0, 0, 800, 600), "Not ours");

    const AppRef app{"org.example.editor", "Editor"};
    const auto found = manager().windows(app);
    // Process order, then the application's own order (front to back here).
    EXPECT_EQ(
        found,
        (std::vector<WindowInfo>{
            {WindowID(5), app, "Tucked away", Rect(2000, 480, 800, 600), WindowState::minimized,
             std::nullopt},
            {WindowID(1), app, "Main", Rect(0, 480, 800, 600), WindowState::normal, "/tmp/a.txt"},
            {WindowID(7), app, "", Rect(0, 480, 800, 600), WindowState::normal, std::nullopt},
        }));
    EXPECT_TRUE(
        logs.contains("windowmanager", "windows(ofApp org.example.editor) -> 3 across 2 pid(s)"));

    // Without a target display every standard window counts.
    auto anywhere = MacWindowManager::create(world.context, std::nullopt);
    EXPECT_EQ(anywhere->windows(app).size(), 4u);
    // An application that does not run, or this process itself, has none.
    EXPECT_TRUE(manager().windows({"org.example.absent", "Absent"}).empty());
    world.desktop.addApplication(
        {.pid = world.desktop.ownPID, .bundleId = "org.vorn.Vorn", .name = "Vorn"});
    world.addWindow(9, world.desktop.ownPID, Rect(0, 0, 800, 600));
    EXPECT_TRUE(manager().windows({"org.vorn.Vorn", "Vorn"}).empty());
}

TEST_F(MacWindowManagerQueryTest, WithoutWindowNumbersNoWindowIsOfferedForRebinding) {
    world.desktop.missingEntryPoints.insert("_AXUIElementGetWindow");
    world.addWindow(1, editor, Rect(0, 0, 800, 600));
    EXPECT_TRUE(manager().windows({"org.example.editor", "Editor"}).empty());
}

TEST_F(MacWindowManagerQueryTest, ScreenAreaOfTheTargetElseUnderThePointerElseMain) {
    world.desktop.display(1)->menuBarHeight = 25;
    world.desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1280, 1024), .dockHeight = 60});
    world.desktop.addDisplay({.id = 3, .bounds = Rect(-1000, 0, 1000, 800)});

    targetDisplay = 2;
    EXPECT_EQ(manager().currentScreenArea().visibleFrame, Rect(1920, 116, 1280, 964));

    struct Case {
        const char* name;
        Point pointer;
        std::optional<std::uint32_t> mainDisplay;
        Rect expected;
    };
    const std::vector<Case> cases = {
        {"pointer on the first", Point{500, 500}, std::nullopt, Rect(0, 0, 1920, 1055)},
        {"pointer on the third", Point{-500, 500}, 2, Rect(-1000, 280, 1000, 800)},
        {"pointer on the top edge of the third", Point{-500, 1080}, std::nullopt,
         Rect(-1000, 280, 1000, 800)},
        {"pointer on the bottom edge of the third", Point{-500, 280}, 2,
         Rect(1920, 116, 1280, 964)},
        {"pointer nowhere: the main screen", Point{9000, 9000}, 2, Rect(1920, 116, 1280, 964)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world.desktop.mouseLocation = c.pointer;
        world.desktop.mainDisplay = c.mainDisplay;
        // A target display without a screen falls back like no target at all.
        auto manager = MacWindowManager::create(world.context, 42);
        EXPECT_EQ(manager->currentScreenArea().visibleFrame, c.expected);
    }

    for (std::uint32_t id : {1u, 2u, 3u}) {
        world.desktop.removeDisplay(id);
    }
    EXPECT_EQ(manager().currentScreenArea().visibleFrame, Rect());
}

TEST_F(MacWindowManagerQueryTest, SessionTokenAndPermission) {
    EXPECT_EQ(manager().currentSessionToken(), "sim:session-1");
    // Unknown: every call gives a token of its own, so nothing saved is ever trusted.
    world.desktop.sessionIdentity.reset();
    const std::string unknown = manager().currentSessionToken();
    EXPECT_EQ(unknown.rfind("unknown:", 0), 0u) << unknown;
    EXPECT_TRUE(Uuid::parse(unknown.substr(std::string_view("unknown:").size()))) << unknown;
    EXPECT_NE(manager().currentSessionToken(), unknown);

    world.desktop.trusted = false;
    EXPECT_FALSE(manager().hasAccessibilityPermission());
    EXPECT_EQ(world.desktop.promptCount, 0);
    EXPECT_FALSE(manager().requestAccessibilityPermission());
    EXPECT_EQ(world.desktop.promptCount, 1);
    EXPECT_TRUE(manager().hasAccessibilityPermission());
}

}  // namespace
}  // namespace vorn
