#include <gtest/gtest.h>

#include "MacWindowManager.h"
#include "TempDir.h"
#include "X11Fixture.h"

namespace vorn {
namespace {

using test::hexID;
using test::X11Fixture;

// The window manager of the window layer, on the real desktop.
class X11WindowManagerTest : public X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        manager = MacWindowManager::create(*context, std::nullopt);
    }
    void TearDown() override { manager.reset(); }

    bool becomesActive(xcb_window_t window) {
        const std::string expected = "window id # " + hexID(window) + "\n";
        return session.waitFor([&] {
            return session.run({"xprop", "-root", "_NET_ACTIVE_WINDOW"})
                .value_or("")
                .ends_with(expected);
        });
    }
    bool listed(xcb_window_t window) {
        auto windows = manager->listWindows();
        return windows && std::any_of(windows->begin(), windows->end(), [&](const WindowInfo& w) {
                   return w.windowID == WindowID(window);
               });
    }

    std::shared_ptr<MacWindowManager> manager;
};

TEST_F(X11WindowManagerTest, ActivationMakesTheTargetTheActiveWindowEvenWhenMinimised) {
    auto a = session.openTestWindow({"--title", "a", "--count", "2"}, 2);
    auto b = session.openXterm("b");
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(listed(a->windows[0]) && listed(b->windows[0]));
    for (xcb_window_t target : {a->windows[0], b->windows[0], a->windows[1]}) {
        SCOPED_TRACE(hexID(target));
        manager->activate(WindowID(target));
        EXPECT_TRUE(becomesActive(target));
    }
    ASSERT_TRUE(session.run({"xdotool", "windowminimize", std::to_string(b->windows[0])}));
    ASSERT_TRUE(session.waitFor([&] { return !listed(b->windows[0]); }));
    manager->activate(WindowID(b->windows[0]));
    EXPECT_TRUE(becomesActive(b->windows[0]));
    EXPECT_TRUE(session.waitFor([&] { return listed(b->windows[0]); }));
}

TEST_F(X11WindowManagerTest, AFrameSetLandsWithinTwoPointsOrOneIncrementAlsoWhenMaximised) {
    auto plain = session.openTestWindow({"--title", "plain"});
    auto maximised = session.openTestWindow({"--title", "maximised", "--maximized"});
    auto xterm = session.openXterm("xterm");
    ASSERT_TRUE(plain && maximised && xterm);
    struct Case {
        xcb_window_t window;
        Rect target;  // bottom-left coordinates
        double slackW;
        double slackH;
    };
    // xterm's cells are 6 by 13 points with the default font.
    const Case cases[] = {
        {plain->windows[0], Rect(200, 300, 500, 400), 2, 2},
        {maximised->windows[0], Rect(400, 100, 700, 500), 2, 2},
        {xterm->windows[0], Rect(60, 500, 600, 400), 6, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexID(c.window));
        ASSERT_TRUE(listed(c.window));
        EXPECT_TRUE(manager->isResizable(WindowID(c.window)));
        manager->setFrame(WindowID(c.window), c.target);
        EXPECT_TRUE(runUntil([&] {
            const auto frame = manager->frame(WindowID(c.window));
            return frame && std::abs(frame->origin.x - c.target.origin.x) <= 2
                   && std::abs(frame->maxY() - c.target.maxY()) <= 2
                   && std::abs(frame->size.width - c.target.size.width) <= c.slackW
                   && std::abs(frame->size.height - c.target.size.height) <= c.slackH;
        })) << logDescription(manager->frame(WindowID(c.window)).value_or(Rect()));
    }
}

TEST_F(X11WindowManagerTest, OpensNewWindowsAndDocumentsThroughADesktopEntry) {
    const std::string program = test::XvfbSession::testWindowProgram();
    test::writeText(
        applications / "org.vorn.Notes.desktop",
        "[Desktop Entry]\nType=Application\nName=Notes\nExec=\"" + program
            + "\" --title Notes --class notes,VornNotes %f\nStartupWMClass=VornNotes\n");
    const AppRef notes{"org.vorn.Notes", "Notes"};

    const auto first = manager->launchOrNewWindow(notes);
    ASSERT_TRUE(first);
    EXPECT_TRUE(listed(first->raw));
    const auto second = manager->launchOrNewWindow(notes);
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);

    test::TempDir documents;
    const auto document = documents / "plan.txt";
    test::writeText(document, "x");
    const auto opened = manager->openDocument(document.string(), notes).window;
    ASSERT_TRUE(opened);
    const auto windows = manager->listWindows();
    ASSERT_TRUE(windows);
    auto shown = std::find_if(windows->begin(), windows->end(),
                              [&](const WindowInfo& w) { return w.windowID == *opened; });
    ASSERT_NE(shown, windows->end());
    EXPECT_EQ(shown->title, "Notes " + document.string());
    EXPECT_EQ(shown->app.bundleId, "org.vorn.Notes");

    const auto start = runLoop.now();
    EXPECT_EQ(manager->openDocument((documents / "missing.txt").string(), notes),
              DocumentOpening{});
    EXPECT_EQ(manager->openDocument(document.string(), AppRef{"org.vorn.Unknown", "?"}),
              DocumentOpening{});
    // Neither waits for a window to show the document.
    EXPECT_LT(runLoop.now() - start, MacWindowManager::documentWindowTimeout);
}

TEST_F(X11WindowManagerTest, AWindowNumberTakenOverByAnotherProcessIsNotTheOldWindow) {
    auto first = session.openTestWindow({"--title", "first", "--class", "first,First"});
    ASSERT_TRUE(first);
    const xcb_window_t number = first->windows[0];
    ASSERT_TRUE(listed(number));
    session.stop(first->pid);
    ASSERT_TRUE(session.waitFor([&] { return session.clients().empty(); }));
    auto second = session.openTestWindow({"--title", "second", "--class", "second,Second"});
    ASSERT_TRUE(second);
    ASSERT_EQ(second->windows[0], number) << "the server did not reuse the window number";

    EXPECT_FALSE(manager->isAlive(WindowID(number)));
    EXPECT_EQ(manager->frame(WindowID(number)), std::nullopt);
    const Rect before = *AXWindow::windows(*context, second->pid).front().frame();
    manager->setFrame(WindowID(number), Rect(10, 10, 200, 200));
    manager->activate(WindowID(number));
    session.syncWindowManager();
    EXPECT_EQ(AXWindow::windows(*context, second->pid).front().frame(), before);
    // Listed again, the number is the new window's.
    ASSERT_TRUE(listed(number));
    EXPECT_TRUE(manager->isAlive(WindowID(number)));
}

}  // namespace
}  // namespace vorn
