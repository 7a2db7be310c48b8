#include <gtest/gtest.h>

#include "FileURL.h"
#include "MacWindowManagerFixture.h"
#include "TempDir.h"

namespace vorn {
namespace {

using namespace std::chrono_literals;
using platform::Duration;
using platform::sim::SimMenu;
using platform::sim::SimMenuItem;

const AppRef editorApp{"org.example.editor", "Editor"};

class NewWindowTest : public test::MacWindowManagerTest {
protected:
    NewWindowTest() {
        auto& app = *world.desktop.application(editor);
        app.applicationURL = "/Applications/Editor.app";
        world.desktop.installedApplications["org.example.editor"] = "/Applications/Editor.app";
        world.addWindow(1, editor, Rect(0, 0, 800, 600), "Existing");
    }

    // The application's File menu; pressing New Window opens window `number` after the delay.
    void giveNewWindowItem(std::optional<Duration> delay, std::uint32_t number = 50) {
        SimMenuItem item{.title = "New Window", .cmdChar = "n", .cmdModifiers = 0};
        item.onPress = [this, delay, number] {
            if (delay) {
                openLater(*delay, number);
            }
            return platform::AXStatus::success;
        };
        world.desktop.application(editor)->menus = {SimMenu{"File", {item}}};
    }
    void openLater(Duration delay, std::uint32_t number, std::int32_t owner = editor) {
        world.desktop.clock().scheduleAfter(delay, [this, number, owner] {
            world.addWindow(number, owner, Rect(200, 200, 800, 600), "New");
        });
    }
    // Runs the call and gives its answer with the virtual time it took.
    template <typename Call>
    std::pair<std::optional<WindowID>, Duration> timed(Call call) {
        const auto start = world.desktop.clock().now();
        const std::optional<WindowID> found = call();
        return {found, world.desktop.clock().now() - start};
    }
};

TEST_F(NewWindowTest, NewWindowMenuItemThenLaunchingWithTheirWaits) {
    struct Case {
        const char* name;
        bool hasItem;
        std::optional<Duration> afterPress;   // when the press opens a window
        std::optional<Duration> afterLaunch;  // when launching opens one
        std::optional<std::uint32_t> found;
        Duration took;
        bool launched;
    };
    const std::vector<Case> cases = {
        {"window 0.4 s after the press", true, 400ms, std::nullopt, 50, 450ms, false},
        {"window 1.2 s after the press", true, 1200ms, std::nullopt, 50, 1300ms, true},
        {"no window from the press, one from launching", true, std::nullopt, 200ms, 50, 1300ms,
         true},
        {"no menu item, launching opens one", false, std::nullopt, 200ms, 50, 300ms, true},
        {"nothing ever comes", true, std::nullopt, std::nullopt, std::nullopt, 2500ms, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (auto* stale = world.desktop.window(50)) {
            world.desktop.closeWindow(stale->number);
        }
        if (c.hasItem) {
            giveNewWindowItem(c.afterPress);
        } else {
            world.desktop.application(editor)->menus.clear();
        }
        world.desktop.onOpenApplication = [this, c](const std::string&) {
            if (c.afterLaunch) {
                openLater(*c.afterLaunch, 50);
            }
        };
        world.desktop.clearCalls();
        const auto [found, took] = timed([&] { return manager().launchOrNewWindow(editorApp); });
        EXPECT_EQ(found, c.found ? std::optional(WindowID(*c.found)) : std::nullopt);
        EXPECT_EQ(took, c.took);
        EXPECT_EQ(world.desktop.countCalls("ws.openApplication /Applications/Editor.app activates"),
                  c.launched ? 1u : 0u);
        EXPECT_EQ(world.desktop.countCalls("ax.action menuitem:10/0/0 AXPress"),
                  c.hasItem ? 1u : 0u);
    }
}

TEST_F(NewWindowTest, AnApplicationThatIsNotInstalledGetsNoWindow) {
    const auto [found, took] = timed([&] {
        return manager().launchOrNewWindow({"org.example.missing", "Missing"});
    });
    EXPECT_EQ(found, std::nullopt);
    EXPECT_EQ(took, 1500ms);
    EXPECT_EQ(world.desktop.countCalls("ws.openApplication"), 0u);
    EXPECT_EQ(world.desktop.countCalls("ax.action"), 0u);
}

TEST_F(NewWindowTest, OnlyAWindowOfTheApplicationThatWasNotThereBeforeCounts) {
    world.desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1280, 1024)});
    giveNewWindowItem(std::nullopt);
    world.desktop.application(editor)->menus[0].items[0].onPress = [this] {
        // Another application's window first, then the editor's on the other display.
        openLater(100ms, 60, viewer);
        world.desktop.clock().scheduleAfter(500ms, [this] {
            world.addWindow(61, editor, Rect(2000, 100, 800, 600), "On the side display");
        });
        return platform::AXStatus::success;
    };
    const auto [found, took] = timed([&] { return manager().launchOrNewWindow(editorApp); });
    EXPECT_EQ(found, WindowID(61));
    EXPECT_EQ(took, 600ms);

    // The window found is remembered: activating it needs no window list.
    world.desktop.clearCalls();
    manager().activate(WindowID(61));
    EXPECT_EQ(world.desktop.countCalls("windowList"), 0u);
    EXPECT_EQ(world.desktop.frontCalls.back().windowID, 61u);
}

TEST_F(NewWindowTest, ADocumentIsOpenedWithTheApplicationAndItsWindowAwaited) {
    test::TempDir dir;
    const std::string path = (dir / "my report.txt").string();
    test::writeText(path, "text");
    world.desktop.onOpenURLs = [this](const std::vector<std::string>&, const std::string&) {
        openLater(300ms, 70);
    };

    for (const std::string& given : {path, FileURL::fromPath(path)}) {
        SCOPED_TRACE(given);
        if (world.desktop.window(70) != nullptr) {
            world.desktop.closeWindow(70);
        }
        world.desktop.clearCalls();
        const auto [found, took] =
            timed([&] { return manager().openDocument(given, editorApp).window; });
        EXPECT_EQ(found, WindowID(70));
        EXPECT_EQ(took, 300ms);
        EXPECT_EQ(world.desktop.callsStartingWith("ws.openURLs"),
                  std::vector<std::string>{"ws.openURLs " + FileURL::fromPath(path)
                                           + " with /Applications/Editor.app activates"});
    }
}

// An application with tabs shows the document in the window it has: that window is the answer
// as soon as it shows the document, and at once when it does already. One that never shows it
// was still handed the document.
TEST_F(NewWindowTest, ADocumentShownInAWindowTheApplicationHasIsThatWindow) {
    test::TempDir dir;
    const std::string path = (dir / "shopping.txt").string();
    test::writeText(path, "eggs");
    bool showIt = true;
    world.desktop.onOpenURLs = [&](const std::vector<std::string>&, const std::string&) {
        if (showIt) {
            world.desktop.clock().scheduleAfter(
                200ms, [&] { world.desktop.window(1)->document = FileURL::fromPath(path); });
        }
    };
    DocumentOpening opening;
    auto [found, took] = timed([&] {
        opening = manager().openDocument(path, editorApp);
        return opening.window;
    });
    EXPECT_EQ(opening, (DocumentOpening{WindowID(1), true}));
    EXPECT_EQ(took, 2 * MacWindowManager::waitSlice);

    world.desktop.clearCalls();
    std::tie(found, took) = timed([&] { return manager().openDocument(path, editorApp).window; });
    EXPECT_EQ(found, WindowID(1));
    EXPECT_EQ(took, Duration::zero());
    EXPECT_EQ(world.desktop.countCalls("ws.openURLs"), 0u);

    showIt = false;
    world.desktop.window(1)->document.reset();
    std::tie(found, took) = timed([&] {
        opening = manager().openDocument(path, editorApp);
        return opening.window;
    });
    EXPECT_EQ(opening, (DocumentOpening{std::nullopt, true}));
    EXPECT_EQ(took, MacWindowManager::documentWindowTimeout);
    EXPECT_EQ(world.desktop.window(1)->document, std::nullopt);
}

TEST_F(NewWindowTest, ADocumentThatCannotBeOpenedGivesNoAnswerAtOnce) {
    test::TempDir dir;
    const std::string existing = (dir / "a.txt").string();
    test::writeText(existing, "text");
    struct Case {
        const char* name;
        std::string path;
        std::string bundleId;
        std::optional<std::string> logged;
    };
    const std::vector<Case> cases = {
        {"missing file", (dir / "gone.txt").string(), "org.example.editor",
         "openDocument: file missing path=" + (dir / "gone.txt").string()},
        {"missing file named by URL", FileURL::fromPath((dir / "gone.txt").string()),
         "org.example.editor", "openDocument: file missing path=" + (dir / "gone.txt").string()},
        {"application not installed", existing, "org.example.missing", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logs.clear();
        world.desktop.clearCalls();
        DocumentOpening opening{WindowID(1), true};
        const auto [found, took] = timed([&] {
            opening = manager().openDocument(c.path, {c.bundleId, "App"});
            return opening.window;
        });
        EXPECT_EQ(opening, DocumentOpening{});
        EXPECT_EQ(took, Duration::zero());
        EXPECT_EQ(world.desktop.countCalls("ws.openURLs"), 0u);
        if (c.logged) {
            EXPECT_TRUE(logs.contains("windowmanager", *c.logged));
        } else {
            EXPECT_EQ(logs.count("windowmanager", "openDocument"), 0u);
        }
    }
}

TEST_F(NewWindowTest, AFileTextThatIsNoURLIsAPath) {
    // "file:" without an absolute path is no URL: it names a file in the working directory.
    (void)manager().openDocument("file:notes.txt", editorApp);
    const auto lines = logs.messages("windowmanager");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("openDocument: file missing path=/"));
    EXPECT_TRUE(lines.back().ends_with("/file:notes.txt"));
}

TEST_F(NewWindowTest, ReleasingTheManagerDuringTheWaitIsSafe) {
    auto& holder = managerPointer();
    std::vector<WindowChange> changes;
    holder->observe([&changes](WindowChange change) { changes.push_back(change); });
    const std::weak_ptr<MacWindowManager> weak = holder;
    giveNewWindowItem(2000ms);
    // The last owner lets go while the manager is waiting inside its own call.
    world.desktop.clock().scheduleAfter(
        200ms, [this, &holder] { world.runLoop().post([&holder] { holder.reset(); }); });

    MacWindowManager* raw = holder.get();
    const auto found = raw->launchOrNewWindow(editorApp);
    EXPECT_EQ(found, WindowID(50));
    EXPECT_TRUE(weak.expired());
    // The poll ran during the wait; it stopped with the manager.
    const std::size_t during = changes.size();
    EXPECT_GE(during, 1u);
    (void)world.runLoop().runUntil(world.desktop.clock().now() + 10s);
    EXPECT_EQ(changes.size(), during);
}

}  // namespace
}  // namespace vorn
