#include <gtest/gtest.h>

#include "AXWindow.h"
#include "X11Fixture.h"
#include "X11Parts.h"

namespace vorn {
namespace {

using test::hexID;
using test::X11Fixture;

class X11ActivationTest : public X11Fixture {
protected:
    // The active window as another client reads it back from the root window.
    std::string activeFromXprop() {
        return session.run({"xprop", "-root", "_NET_ACTIVE_WINDOW"}).value_or("");
    }
    bool becomesActive(xcb_window_t window) {
        const std::string expected = "window id # " + hexID(window) + "\n";
        return session.waitFor([&] { return activeFromXprop().ends_with(expected); });
    }
    AXWindow window(std::int32_t pid, xcb_window_t number) {
        return AXWindow(*context, platform::x11::makeWindowElement(pid, number), pid);
    }
    // Requests to the window manager go to every client that watches the root's children.
    void watchRequests() {
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(session.connection(), session.root(), XCB_CW_EVENT_MASK,
                                     &mask);
        session.sync();
    }
    // The requests of the type sent since the last look; those of other types are dropped.
    std::vector<xcb_client_message_event_t> requests(const char* type) {
        xcb_connection_t* c = session.connection();
        std::vector<xcb_client_message_event_t> found;
        syncBackend();
        session.sync();
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE
                && message->type == session.atom(type)) {
                found.push_back(*message);
            }
            std::free(event);
        }
        return found;
    }
};

TEST_F(X11ActivationTest, MakesTheTargetTheActiveWindowIncludingAMinimisedOne) {
    auto two = session.openTestWindow({"--title", "two", "--count", "2"}, 2);
    auto other = session.openTestWindow({"--title", "other"});
    auto xterm = session.openXterm("shell");
    ASSERT_TRUE(two && other && xterm);
    ASSERT_TRUE(privateCalls->skyLightFocusSupported());

    const std::pair<pid_t, xcb_window_t> targets[] = {
        {other->pid, other->windows[0]},
        {two->pid, two->windows[1]},
        {xterm->pid, xterm->windows[0]},
        {two->pid, two->windows[0]},
    };
    for (const auto& [pid, number] : targets) {
        SCOPED_TRACE(hexID(number));
        EXPECT_TRUE(privateCalls->skyLightFocusWindow(pid, number));
        EXPECT_TRUE(becomesActive(number));
        EXPECT_TRUE(session.waitFor([&] { return session.stacking().front() == number; }));
    }

    // The window layer fronts a minimised window, then restores and raises it.
    const xcb_window_t minimised = other->windows[0];
    ASSERT_TRUE(session.run({"xdotool", "windowminimize", std::to_string(minimised)}));
    ASSERT_TRUE(session.waitFor([&] { return window(other->pid, minimised).isMinimized(); }));
    EXPECT_TRUE(privateCalls->skyLightFocusWindow(other->pid, minimised));
    window(other->pid, minimised).raiseAfterFront();
    EXPECT_TRUE(becomesActive(minimised));
    EXPECT_FALSE(window(other->pid, minimised).isMinimized());
}

TEST_F(X11ActivationTest, RefusesWindowsOfOtherProcessesAndRaisesOneThatRefusesFocus) {
    auto a = session.openTestWindow({"--title", "a"});
    auto b = session.openTestWindow({"--title", "b"});
    auto shy = session.openTestWindow({"--title", "shy", "--no-focus"});
    ASSERT_TRUE(a && b && shy);
    ASSERT_TRUE(privateCalls->skyLightFocusWindow(a->pid, a->windows[0]));
    ASSERT_TRUE(becomesActive(a->windows[0]));

    EXPECT_FALSE(privateCalls->skyLightFocusWindow(b->pid, a->windows[0]));
    EXPECT_FALSE(privateCalls->skyLightFocusWindow(0x7FFFFFF0, a->windows[0]));
    EXPECT_FALSE(privateCalls->skyLightFocusWindow(a->pid, 0x7FFFFF));

    // A window that takes no focus still comes to the front; the focus stays where it is.
    EXPECT_TRUE(privateCalls->skyLightFocusWindow(shy->pid, shy->windows[0]));
    EXPECT_TRUE(session.waitFor([&] { return session.stacking().front() == shy->windows[0]; }));
    EXPECT_NE(session.activeWindow(), shy->windows[0]);

    // Activating an application brings its frontmost window that is not minimised.
    EXPECT_TRUE(services->workspace.activateApplication(b->pid));
    EXPECT_TRUE(becomesActive(b->windows[0]));
    EXPECT_FALSE(services->workspace.activateApplication(0x7FFFFFF0));
}

TEST_F(X11ActivationTest, AsksAsAPagerWithTheUsersTimeOrAFreshServerTime) {
    auto a = session.openTestWindow({"--title", "a"});
    auto b = session.openTestWindow({"--title", "b"});
    ASSERT_TRUE(a && b);
    watchRequests();

    backend->setUserTime(12345);
    ASSERT_TRUE(privateCalls->skyLightFocusWindow(a->pid, a->windows[0]));
    auto sent = requests("_NET_ACTIVE_WINDOW");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].window, a->windows[0]);
    EXPECT_EQ(sent[0].data.data32[0], 2u);
    EXPECT_EQ(sent[0].data.data32[1], 12345u);
    EXPECT_TRUE(becomesActive(a->windows[0]));

    // The user's time goes with one request only; then the server's own, never 0.
    ASSERT_TRUE(privateCalls->skyLightFocusWindow(b->pid, b->windows[0]));
    ASSERT_TRUE(becomesActive(b->windows[0]));
    (void)requests("_NET_ACTIVE_WINDOW");
    ASSERT_TRUE(privateCalls->skyLightFocusWindow(a->pid, a->windows[0]));
    sent = requests("_NET_ACTIVE_WINDOW");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.data32[0], 2u);
    EXPECT_NE(sent[0].data.data32[1], 0u);
    EXPECT_NE(sent[0].data.data32[1], 12345u);
    EXPECT_EQ(sent[0].data.data32[2], b->windows[0]) << "the requester's active window";
    EXPECT_TRUE(becomesActive(a->windows[0]));

    auto& ax = services->accessibility;
    const auto element = platform::x11::makeWindowElement(a->pid, a->windows[0]);
    ASSERT_EQ(ax.performAction(element, "AXRaise"), platform::AXStatus::success);
    const auto raise = requests("_NET_RESTACK_WINDOW");
    ASSERT_EQ(raise.size(), 1u);
    EXPECT_EQ(raise[0].data.data32[0], 2u);
    EXPECT_EQ(raise[0].data.data32[2], std::uint32_t{XCB_STACK_MODE_ABOVE});
    ASSERT_EQ(ax.setAttributeValue(element, "AXPosition", platform::Value::point({10, 20})),
              platform::AXStatus::success);
    const auto move = requests("_NET_MOVERESIZE_WINDOW");
    ASSERT_EQ(move.size(), 1u);
    // North-west gravity, x and y given, from a pager.
    EXPECT_EQ(move[0].data.data32[0], 1u | (1u << 8) | (1u << 9) | (2u << 12));
    EXPECT_EQ(move[0].data.data32[1], 10u);
    EXPECT_EQ(move[0].data.data32[2], 20u);
}

TEST_F(X11ActivationTest, ShowsTheDesktopOfAWindowOnAHiddenOneFirst) {
    auto here = session.openTestWindow({"--title", "here"});
    auto away = session.openTestWindow({"--title", "away"});
    auto sticky = session.openTestWindow({"--title", "sticky"});
    ASSERT_TRUE(here && away && sticky);
    const auto onDesktop = [&](xcb_window_t window, std::uint32_t desktop) {
        return session.waitFor([&] {
            return session.cardinalProperty(window, "_NET_WM_DESKTOP")
                   == std::vector<std::uint32_t>{desktop};
        });
    };
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-r", hexID(away->windows[0]), "-t", "1"}));
    ASSERT_TRUE(session.run(
        {"xdotool", "set_desktop_for_window", std::to_string(sticky->windows[0]), "-1"}));
    ASSERT_TRUE(onDesktop(away->windows[0], 1));
    ASSERT_TRUE(onDesktop(sticky->windows[0], 0xFFFFFFFF));
    ASSERT_EQ(session.currentDesktop(), 0u);
    watchRequests();
    syncBackend();

    // The desktop first, with the user's time, then the window on it.
    backend->setUserTime(4242);
    ASSERT_TRUE(privateCalls->skyLightFocusWindow(away->pid, away->windows[0]));
    const auto shown = requests("_NET_CURRENT_DESKTOP");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].data.data32[0], 1u);
    EXPECT_EQ(shown[0].data.data32[1], 4242u);
    EXPECT_TRUE(becomesActive(away->windows[0]));
    EXPECT_EQ(session.currentDesktop(), 1u);

    // A window on every desktop, and one on the desktop shown, are activated where they are.
    for (const auto* program : {&*sticky, &*away}) {
        SCOPED_TRACE(hexID(program->windows[0]));
        syncBackend();
        ASSERT_TRUE(privateCalls->skyLightFocusWindow(program->pid, program->windows[0]));
        EXPECT_TRUE(becomesActive(program->windows[0]));
        EXPECT_TRUE(requests("_NET_CURRENT_DESKTOP").empty());
        EXPECT_EQ(session.currentDesktop(), 1u);
    }

    // Activating an application goes the same way.
    syncBackend();
    ASSERT_TRUE(services->workspace.activateApplication(here->pid));
    EXPECT_TRUE(becomesActive(here->windows[0]));
    EXPECT_EQ(session.currentDesktop(), 0u);
}

}  // namespace
}  // namespace vorn
