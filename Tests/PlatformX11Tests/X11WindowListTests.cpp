#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "AXWindow.h"
#include "PollRunLoop.h"
#include "WindowEnumerator.h"
#include "X11Backend.h"
#include "X11Fixture.h"
#include "X11Parts.h"

namespace vorn {
namespace {

using platform::Value;
using test::hexID;
using test::X11Fixture;

class X11WindowListTest : public X11Fixture {
protected:
    std::vector<std::uint32_t> numbers(const std::vector<EnumeratedWindow>& windows) {
        std::vector<std::uint32_t> ids;
        for (const auto& w : windows) {
            ids.push_back(w.windowID);
        }
        return ids;
    }
    std::map<std::uint32_t, Value> entriesByNumber(std::uint32_t options) {
        std::map<std::uint32_t, Value> found;
        auto list = services->windowServer.copyWindowList(options, 0);
        EXPECT_TRUE(list && list->asArray());
        for (const Value& entry : *list->asArray()) {
            found.emplace(*entry.member(platform::windowkey::number)->asUInt32(), entry);
        }
        return found;
    }
    // The outer frame as xwininfo reports the window manager's frame around the client.
    std::optional<Rect> xwininfoFrame(xcb_window_t client) {
        auto tree = session.run({"xwininfo", "-tree", "-id", hexID(client)});
        if (!tree) {
            return std::nullopt;
        }
        const auto at = tree->find("Parent window id: ");
        if (at == std::string::npos) {
            return std::nullopt;
        }
        const std::string parent = tree->substr(at + 18, tree->find(' ', at + 18) - at - 18);
        auto info = session.run({"xwininfo", "-id", parent});
        if (!info) {
            return std::nullopt;
        }
        auto field = [&](const std::string& name) {
            const auto p = info->find(name);
            return p == std::string::npos ? 0.0 : std::stod(info->substr(p + name.size()));
        };
        const double border = field("Border width: ");
        return Rect(field("Absolute upper-left X: ") - border,
                    field("Absolute upper-left Y: ") - border, field("Width: ") + 2 * border,
                    field("Height: ") + 2 * border);
    }
};

TEST_F(X11WindowListTest, FollowsTheStackingOrderAndTheFramesOfWmctrlAndXwininfo) {
    auto alpha = session.openTestWindow({"--title", "Alpha", "--geometry", "300x200+100+100"});
    auto beta = session.openTestWindow(
        {"--title", "Beta", "--geometry", "400x250+600+150", "--class", "beta,Beta"});
    auto gamma = session.openXterm("Gamma");
    auto dock = session.openTestWindow(
        {"--type", "dock", "--geometry", "1920x30+0+1050", "--strut", "0,0,0,30"});
    ASSERT_TRUE(alpha && beta && gamma && dock);
    const xcb_window_t own = openOwnWindow();

    auto listed = WindowEnumerator::currentScreenWindows(services->windowServer, ::getpid());
    ASSERT_TRUE(listed);
    std::vector<std::uint32_t> expected;
    for (xcb_window_t w : session.stacking()) {
        if (w == alpha->windows[0] || w == beta->windows[0] || w == gamma->windows[0]) {
            expected.push_back(w);
        }
    }
    EXPECT_EQ(numbers(*listed), expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), own), 0);

    // wmctrl prints the client's position plus its offset in the frame, and the client's size.
    std::map<std::uint32_t, std::vector<long>> wmctrl;
    std::istringstream lines(session.run({"wmctrl", "-l", "-G", "-p"}).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string id;
        long desktop = 0, pid = 0, x = 0, y = 0, w = 0, h = 0;
        fields >> id >> desktop >> pid >> x >> y >> w >> h;
        wmctrl[static_cast<std::uint32_t>(std::stoul(id, nullptr, 16))] = {pid, x, y, w, h};
    }
    for (const EnumeratedWindow& window : *listed) {
        SCOPED_TRACE(hexID(window.windowID));
        ASSERT_TRUE(wmctrl.contains(window.windowID));
        const auto& m = wmctrl[window.windowID];
        const auto e = session.cardinalProperty(window.windowID, "_NET_FRAME_EXTENTS");
        ASSERT_EQ(e.size(), 4u);
        EXPECT_EQ(window.ownerPID, m[0]);
        EXPECT_EQ(window.cgBounds, Rect(m[1] - 2.0 * e[0], m[2] - 2.0 * e[2], m[3] + e[0] + e[1],
                                        m[4] + e[2] + e[3]));
        EXPECT_EQ(xwininfoFrame(window.windowID), window.cgBounds);
    }
    EXPECT_EQ(listed->front().ownerName, "XTerm");
}

TEST_F(X11WindowListTest, OnlyOrdinaryWindowsLieOnLayerZeroAndAlphaAndOwnersAreRead) {
    struct Case {
        const char* type;
        bool layerZero;
    };
    const Case cases[] = {{"normal", true},  {"dialog", true}, {"utility", false},
                          {"splash", false}, {"dock", false},  {"notification", false},
                          {"desktop", false}};
    std::map<std::string, xcb_window_t> byType;
    for (const auto& c : cases) {
        auto opened = session.openTestWindow({"--type", c.type, "--title", c.type});
        ASSERT_TRUE(opened) << c.type;
        byType[c.type] = opened->windows[0];
    }
    auto faint = session.openTestWindow({"--opacity", "0.02", "--title", "faint"});
    auto anonymous = session.openTestWindow({"--no-pid", "--title", "anonymous"});
    ASSERT_TRUE(faint && anonymous);

    const auto onScreen = entriesByNumber(platform::windowlist::onScreenOnly);
    const auto withoutDesktop = entriesByNumber(platform::windowlist::onScreenOnly
                                                | platform::windowlist::excludeDesktopElements);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_TRUE(onScreen.contains(byType[c.type]));
        const auto layer =
            onScreen.at(byType[c.type]).member(platform::windowkey::layer)->asInt64();
        EXPECT_EQ(layer == 0, c.layerZero);
        EXPECT_EQ(withoutDesktop.contains(byType[c.type]), std::string(c.type) != "desktop");
    }
    const double alpha =
        *onScreen.at(faint->windows[0]).member(platform::windowkey::alpha)->asDouble();
    EXPECT_NEAR(alpha, 0.02, 1e-6);
    // The server names the process even when the window does not.
    EXPECT_EQ(onScreen.at(anonymous->windows[0]).member(platform::windowkey::ownerPID)->asInt32(),
              anonymous->pid);

    auto listed = WindowEnumerator::currentScreenWindows(services->windowServer, ::getpid());
    ASSERT_TRUE(listed);
    std::vector<std::uint32_t> expected{byType["normal"], byType["dialog"], anonymous->windows[0]};
    auto ids = numbers(*listed);
    std::sort(ids.begin(), ids.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ids, expected);
}

TEST_F(X11WindowListTest, MinimisedWindowsAndThoseOfOtherDesktopsAreOffScreenButKnown) {
    auto minimised = session.openTestWindow({"--title", "minimised"});
    auto elsewhere = session.openTestWindow({"--title", "elsewhere"});
    auto here = session.openTestWindow({"--title", "here"});
    ASSERT_TRUE(minimised && elsewhere && here);
    const xcb_window_t m = minimised->windows[0];
    const xcb_window_t e = elsewhere->windows[0];
    ASSERT_TRUE(session.run({"xdotool", "windowminimize", std::to_string(m)}));
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-r", hexID(e), "-t", "1"}));
    const xcb_atom_t hidden = session.atom("_NET_WM_STATE_HIDDEN");
    ASSERT_TRUE(session.waitFor([&] {
        const auto state = session.cardinalProperty(m, "_NET_WM_STATE");
        return std::count(state.begin(), state.end(), hidden) == 1
               && session.cardinalProperty(e, "_NET_WM_DESKTOP") == std::vector<std::uint32_t>{1};
    }));

    auto listed = WindowEnumerator::currentScreenWindows(services->windowServer, ::getpid());
    ASSERT_TRUE(listed);
    EXPECT_EQ(numbers(*listed), std::vector<std::uint32_t>{here->windows[0]});
    auto all = WindowEnumerator::allWindowIDs(services->windowServer);
    ASSERT_TRUE(all);
    EXPECT_EQ(*all, (std::set<std::uint32_t>{m, e, here->windows[0]}));
    EXPECT_EQ(WindowEnumerator::ownerPID(services->windowServer, m), minimised->pid);

    EXPECT_TRUE(
        AXWindow(*context, platform::x11::makeWindowElement(minimised->pid, m), minimised->pid)
            .isMinimized());
    // A window on another desktop is elsewhere, not minimised.
    EXPECT_FALSE(
        AXWindow(*context, platform::x11::makeWindowElement(elsewhere->pid, e), elsewhere->pid)
            .isMinimized());
}

TEST_F(X11WindowListTest, AWindowNumberReusedByAnotherProcessIsNotTakenForTheOldOne) {
    auto first = session.openTestWindow({"--title", "first"});
    ASSERT_TRUE(first);
    const xcb_window_t number = first->windows[0];
    auto oldWindows = AXWindow::windows(*context, first->pid);
    ASSERT_EQ(oldWindows.size(), 1u);
    const AXWindow old = oldWindows.front();
    ASSERT_EQ(old.title(), "first");

    session.stop(first->pid);
    ASSERT_TRUE(session.waitFor([&] { return session.clients().empty(); }));
    // The server gives the next client the slot of the one that left, so the same ids.
    auto second = session.openTestWindow({"--title", "second", "--geometry", "500x400+50+50"});
    ASSERT_TRUE(second);
    ASSERT_EQ(second->windows[0], number) << "the server did not reuse the window number";

    EXPECT_EQ(WindowEnumerator::ownerPID(services->windowServer, number), second->pid);
    EXPECT_EQ(old.title(), std::nullopt);
    EXPECT_EQ(old.frame(), std::nullopt);
    const auto reply = services->accessibility.copyAttributeValue(old.element(), "AXTitle");
    EXPECT_EQ(reply.status, platform::AXStatus::invalidElement);
    const Rect before = *AXWindow::windows(*context, second->pid).front().frame();
    old.setFrame(Rect(300, 300, 200, 200));
    EXPECT_FALSE(privateCalls->skyLightFocusWindow(first->pid, number));
    session.sync();
    EXPECT_EQ(AXWindow::windows(*context, second->pid).front().frame(), before);
}

TEST(X11NoDisplayTest, GivesNoWindowListAndCrashesNowhere) {
    platform::PollRunLoop runLoop;
    platform::x11::X11Options options;
    // A display number no server here uses.
    options.display = ":65531";
    platform::x11::X11Backend backend(runLoop, options);
    EXPECT_FALSE(backend.isConnected());
    platform::Services services = backend.services();
    EXPECT_FALSE(services.windowServer.copyWindowList(0x11, 0));
    EXPECT_FALSE(WindowEnumerator::currentScreenWindows(services.windowServer, 1));
    EXPECT_NE(services.windowServer.getActiveDisplayList({}).error, 0);
    EXPECT_FALSE(services.windowServer.displayBounds(1));
    EXPECT_TRUE(services.screens.screens().empty());
    EXPECT_FALSE(services.screens.mainScreen());
    EXPECT_TRUE(services.workspace.runningApplications("xterm").empty());
    EXPECT_FALSE(services.workspace.activateApplication(1));
    const auto app = services.accessibility.applicationElement(1);
    EXPECT_NE(services.accessibility.copyAttributeValue(app, "AXWindows").status,
              platform::AXStatus::success);
    AXPrivate privateCalls(services.loader);
    EXPECT_FALSE(privateCalls.skyLightFocusWindow(1, 2));
    backend.processEvents();
    EXPECT_EQ(runLoop.runUntil(runLoop.now()), platform::RunResult::timedOut);
}

}  // namespace
}  // namespace vorn
