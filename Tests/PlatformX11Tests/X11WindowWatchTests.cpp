// The sidebar model over the X11 window layer follows the desktop by its events: changes arrive
// without the poll, focus moves between windows of one process are seen, and a refresh with
// nothing changed asks the server nothing.

#include <gtest/gtest.h>

#include "X11ModelFixture.h"

namespace vorn {
namespace {

using test::hexID;

class X11WindowWatchTest : public test::X11ModelFixture {
protected:
    std::optional<std::string> ambientTitle(xcb_window_t window) const {
        for (const WindowInfo& info : model->ambient()) {
            if (info.windowID.raw == window) {
                return info.title;
            }
        }
        return std::nullopt;
    }

    void setTitle(xcb_window_t window, const std::string& title) {
        session.setText(window, "_NET_WM_NAME", session.atom("UTF8_STRING"), title);
    }
};

TEST_F(X11WindowWatchTest, ATitleChangeReachesTheModelWithoutThePoll) {
    auto program = session.openTestWindow({"--title", "Before", "--count", "2"}, 2);
    ASSERT_TRUE(program);
    startModel();
    const xcb_window_t window = program->windows[0];
    ASSERT_EQ(ambientTitle(window), "Before 1");

    setTitle(window, "After");
    session.sync();
    settle();
    EXPECT_EQ(ambientTitle(window), "After");
    EXPECT_EQ(ambientTitle(program->windows[1]), "Before 2");
}

TEST_F(X11WindowWatchTest, AFocusSwitchBetweenTwoWindowsOfOneProcessMovesTheActiveTab) {
    auto program = session.openTestWindow({"--title", "Same", "--count", "2"}, 2);
    ASSERT_TRUE(program);
    startModel();
    for (const xcb_window_t target : {program->windows[0], program->windows[1]}) {
        SCOPED_TRACE(hexID(target));
        ASSERT_TRUE(session.run({"wmctrl", "-i", "-a", hexID(target)}));
        ASSERT_TRUE(session.waitFor([&] { return session.activeWindow() == target; }));
        EXPECT_TRUE(runUntil([&] {
            settle();
            return model->activeWindowID() == WindowID(target);
        }));
    }
}

TEST_F(X11WindowWatchTest, ARefreshWithNothingChangedAsksTheServerNothing) {
    auto program = session.openTestWindow({"--title", "Still", "--count", "3"}, 3);
    auto other = session.openXterm("Other");
    ASSERT_TRUE(program && other);
    startModel();
    // A pinned window moved to another desktop: the listing leaves it out, and the refresh
    // asks whether it is still alive.
    const auto listed = manager->listWindows();
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 4u);
    const auto elsewhere = std::find_if(listed->begin(), listed->end(), [&](const WindowInfo& w) {
        return w.windowID.raw == program->windows[2];
    });
    ASSERT_NE(elsewhere, listed->end());
    model->pin(*elsewhere);
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-r", hexID(program->windows[2]), "-t", "1"}));
    ASSERT_TRUE(session.syncWindowManager());
    settle();
    ASSERT_EQ(manager->listWindows()->size(), 3u);
    ASSERT_EQ(model->pinnedTabs().at(0).boundWindowID, WindowID(program->windows[2]));

    const std::uint32_t before = backend->probeSequence();
    model->refresh();
    (void)manager->listWindows();
    EXPECT_TRUE(manager->isAlive(WindowID(program->windows[2])));
    const std::uint32_t after = backend->probeSequence();
    EXPECT_EQ(after - before - 1, 0u) << "requests sent while nothing changed";

    // A change costs requests again, and only until it has been read.
    setTitle(program->windows[0], "Moved on");
    session.sync();
    syncBackend();
    auto& server = services->windowServer;
    const std::uint32_t changed = backend->probeSequence();
    (void)server.copyWindowList(0, 0);
    const std::uint32_t read = backend->probeSequence();
    (void)server.copyWindowList(0, 0);
    EXPECT_GT(read - changed - 1, 0u);
    EXPECT_EQ(backend->probeSequence() - read - 1, 0u);
    settle();
    EXPECT_EQ(ambientTitle(program->windows[0]), "Moved on");
}

TEST_F(X11WindowWatchTest, AMinimisedWindowIsNotReadAgainAsANewOne) {
    auto program = session.openTestWindow({"--title", "Small", "--count", "2"}, 2);
    ASSERT_TRUE(program);
    startModel();
    const xcb_window_t window = program->windows[0];
    ASSERT_TRUE(ambientTitle(window));

    // The window manager unmaps the window and marks it hidden; it stays in the client list.
    ASSERT_TRUE(session.run({"xdotool", "windowminimize", hexID(window)}));
    const xcb_atom_t hidden = session.atom("_NET_WM_STATE_HIDDEN");
    ASSERT_TRUE(session.waitFor([&] {
        const auto state = session.cardinalProperty(window, "_NET_WM_STATE");
        return std::find(state.begin(), state.end(), hidden) != state.end();
    }));
    ASSERT_TRUE(session.syncWindowManager());
    const auto clients = session.clients();
    ASSERT_NE(std::find(clients.begin(), clients.end(), window), clients.end());

    // Its new state and the root's lists are read, not everything about it and its frames.
    syncBackend();
    const std::uint32_t before = backend->probeSequence();
    (void)services->windowServer.copyWindowList(0, 0);
    const std::uint32_t requests = backend->probeSequence() - before - 1;
    EXPECT_LE(requests, 4u) << "requests after a minimise";
    settle();
    EXPECT_FALSE(ambientTitle(window));
    EXPECT_EQ(ambientTitle(program->windows[1]), "Small 2");
}

TEST_F(X11WindowWatchTest, WindowsDestroyedInABurstOfChangesLeaveNoRow) {
    auto program = session.openListeningTestWindow({"--title", "Burst", "--count", "6"}, 6);
    ASSERT_TRUE(program);
    startModel();
    ASSERT_EQ(model->ambient().size(), 6u);
    const auto& windows = program->windows;

    // Titles changed and windows destroyed in one stream, so that the backend hears of changes
    // to windows that are gone when it reads them, and of windows gone while it reads.
    xcb_connection_t* c = session.connection();
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            setTitle(windows[i], "Burst " + std::to_string(round) + "." + std::to_string(i));
        }
        if (round == 1) {
            xcb_destroy_window(c, windows[1]);
            xcb_destroy_window(c, windows[4]);
        }
        xcb_flush(c);
        syncBackend();
        (void)runLoop.runUntil(runLoop.now());
    }
    xcb_destroy_window(c, windows[5]);
    setTitle(windows[5], "Gone");
    session.sync();
    const std::vector<xcb_window_t> left = {windows[0], windows[2], windows[3]};
    EXPECT_TRUE(runUntil([&] {
        settle();
        return model->ambient().size() == left.size();
    }));
    for (const xcb_window_t window : left) {
        EXPECT_TRUE(ambientTitle(window).value_or("").starts_with("Burst 2."));
    }
    for (const xcb_window_t gone : {windows[1], windows[4], windows[5]}) {
        EXPECT_FALSE(ambientTitle(gone));
    }
}

}  // namespace
}  // namespace vorn
