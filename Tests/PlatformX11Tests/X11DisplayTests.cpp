#include <algorithm>

#include <gtest/gtest.h>

#include "AXWindow.h"
#include "DisplayUtil.h"
#include "WindowEnumerator.h"
#include "X11Fixture.h"
#include "X11Parts.h"

namespace vorn {
namespace {

using test::X11Fixture;

class X11DisplayTest : public X11Fixture {
protected:
    std::optional<platform::Screen> screen(std::uint32_t display) {
        return DisplayUtil::nsScreen(services->screens, display);
    }
};

TEST_F(X11DisplayTest, TwoMonitorsGiveTwoDisplaysWithTheirVisibleFrames) {
    // R is primary and lies right of L: the global origin is R's top-left corner.
    ASSERT_TRUE(session.run({"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(session.run({"xrandr", "--setmonitor", "*R", "960/254x1080/286+960+0", "none"}));
    const std::uint32_t left = session.atom("L");
    const std::uint32_t right = session.atom("R");

    auto& server = services->windowServer;
    EXPECT_EQ(DisplayUtil::activeDisplayIDs(server), (std::vector<std::uint32_t>{right, left}));
    EXPECT_EQ(server.displayBounds(right), Rect(0, 0, 960, 1080));
    EXPECT_EQ(server.displayBounds(left), Rect(-960, 0, 960, 1080));
    EXPECT_EQ(server.displayUUID(right), std::nullopt);
    EXPECT_EQ(server.displayIdentity(left), std::nullopt) << "Xvfb has no EDID";
    // What keys the displays instead: L shows Xvfb's one output, R is made of none.
    EXPECT_EQ(server.displayNames(left), (platform::DisplayNames{"screen", "L"}));
    EXPECT_EQ(server.displayNames(right), (platform::DisplayNames{"", "R"}));
    EXPECT_EQ(server.displayNames(session.atom("screen")), std::nullopt);

    const auto screens = services->screens.screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(DisplayUtil::displayNumber(screens[0]), right);
    EXPECT_EQ(screens[0].localizedName, "R");
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 960, 1080));
    EXPECT_EQ(screens[0].visibleFrame, Rect(0, 0, 960, 1080));
    EXPECT_EQ(screens[1].frame, Rect(-960, 0, 960, 1080));

    // A dock along the bottom of L reserves space there only.
    auto dock = session.openTestWindow(
        {"--type", "dock", "--geometry", "960x40+0+1040", "--strut", "0,0,0,40"});
    ASSERT_TRUE(dock);
    EXPECT_EQ(screen(left)->visibleFrame, Rect(-960, 40, 960, 1040));
    EXPECT_EQ(screen(right)->visibleFrame, Rect(0, 0, 960, 1080));
    // The program's own panels never count.
    const xcb_window_t own = openOwnWindow();
    session.setCardinals(own, "_NET_WM_STRUT", XCB_ATOM_CARDINAL, {0, 0, 100, 0});
    session.sync();
    EXPECT_EQ(screen(right)->visibleFrame, Rect(0, 0, 960, 1080));

    // Frames travel in the same global coordinates.
    auto window = session.openTestWindow({"--title", "placed"});
    ASSERT_TRUE(window);
    const AXWindow w(*context, platform::x11::makeWindowElement(window->pid, window->windows[0]),
                     window->pid);
    w.setFrame(Rect(-900, 100, 400, 300));
    EXPECT_TRUE(runUntil([&] { return w.frame() == Rect(-900, 100, 400, 300); }));
    auto listed = WindowEnumerator::currentScreenWindows(server, ::getpid());
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->front().cgBounds, Rect(-900, 100, 400, 300));
    // The main screen is the primary one, wherever the active window is.
    ASSERT_TRUE(session.waitFor([&] { return session.activeWindow() == window->windows[0]; }));
    syncBackend();
    EXPECT_EQ(DisplayUtil::displayNumber(*services->screens.mainScreen()), right);
    // Told by what the backend keeps: asked again, nothing goes to the server.
    const std::uint32_t before = backend->probeSequence();
    EXPECT_EQ(DisplayUtil::displayNumber(*services->screens.mainScreen()), right);
    EXPECT_EQ(backend->probeSequence() - before - 1, 0u) << "requests while nothing changed";

    ASSERT_TRUE(session.run({"xdotool", "mousemove", "1000", "200"}));
    EXPECT_EQ(services->screens.mouseLocation(), (Point{40, 880}));

    // The monitor that shows the primary output is the primary one, though the server marks R:
    // it comes first and its corner is the origin, as other programs see it.
    ASSERT_TRUE(session.run({"xrandr", "--output", "screen", "--primary"}));
    EXPECT_TRUE(runUntil([&] { return DisplayUtil::activeDisplayIDs(server).front() == left; }));
    EXPECT_EQ(DisplayUtil::displayNumber(*services->screens.mainScreen()), left);
    EXPECT_EQ(server.displayBounds(right), Rect(960, 0, 960, 1080));
}

TEST_F(X11DisplayTest, MonitorNamesAreKeptUntilTheMonitorsChange) {
    ASSERT_TRUE(session.run({"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    const std::uint32_t left = session.atom("L");
    auto& server = services->windowServer;
    const platform::DisplayNames onScreen{"screen", "L"};
    ASSERT_TRUE(runUntil([&] { return server.displayNames(left) == onScreen; }));
    const auto named = [&] {
        const auto screens = services->screens.screens();
        return std::any_of(screens.begin(), screens.end(),
                           [](const platform::Screen& s) { return s.localizedName == "L"; });
    };
    EXPECT_TRUE(named());
    syncBackend();
    EXPECT_EQ(server.displayNames(left), onScreen);
    // The display and its screen ask again: nothing goes to the server.
    const std::uint32_t before = backend->probeSequence();
    EXPECT_EQ(server.displayNames(left), onScreen);
    EXPECT_TRUE(named());
    EXPECT_EQ(backend->probeSequence() - before - 1, 0u) << "requests while nothing changed";

    // A monitor of the same name on no output, then a change the server reports (Xvfb tells
    // none of monitors that clients declare): the names are asked afresh.
    ASSERT_TRUE(session.run({"xrandr", "--delmonitor", "L"}));
    ASSERT_TRUE(session.run({"xrandr", "--setmonitor", "L", "960/254x1080/286+960+0", "none"}));
    ASSERT_TRUE(session.run({"xrandr", "--output", "screen", "--primary"}));
    EXPECT_TRUE(runUntil([&] {
        return server.displayNames(left) == platform::DisplayNames{"", "L"};
    }));
    EXPECT_TRUE(named());
}

TEST_F(X11DisplayTest, OneMonitorTakesTheWorkAreaAndStrutsIntoAccount) {
    const auto displays = DisplayUtil::activeDisplayIDs(services->windowServer);
    ASSERT_EQ(displays.size(), 1u);
    EXPECT_EQ(screen(displays[0])->visibleFrame, Rect(0, 0, 1920, 1080));
    auto panel = session.openTestWindow(
        {"--type", "dock", "--geometry", "1920x25+0+0", "--strut", "0,0,25,0"});
    ASSERT_TRUE(panel);
    ASSERT_TRUE(session.waitFor([&] {
        const auto area = session.cardinalProperty(session.root(), "_NET_WORKAREA");
        return area.size() >= 4 && area[1] == 25;
    }));
    const auto shown = screen(displays[0]);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(shown->visibleFrame, Rect(0, 0, 1920, 1055));

    // A band of the program's own narrows the window manager's work area, never the display's.
    const xcb_window_t own = openOwnWindow();
    session.setCardinals(own, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL,
                         {160, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(session.waitFor([&] {
        const auto area = session.cardinalProperty(session.root(), "_NET_WORKAREA");
        return area.size() >= 4 && area[0] == 160;
    }));
    syncBackend();
    EXPECT_EQ(screen(displays[0])->visibleFrame, Rect(0, 0, 1920, 1055));
}

}  // namespace
}  // namespace vorn
