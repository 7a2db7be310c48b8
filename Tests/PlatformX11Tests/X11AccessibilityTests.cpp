#include <algorithm>

#include <gtest/gtest.h>

#include "AXWindow.h"
#include "FrameConvergence.h"
#include "WindowEnumerator.h"
#include "X11Fixture.h"
#include "X11Parts.h"

namespace vorn {
namespace {

using platform::AXStatus;
using platform::Value;
using test::hexID;
using test::X11Fixture;

class X11AccessibilityTest : public X11Fixture {
protected:
    AXWindow window(std::int32_t pid, xcb_window_t number) {
        return AXWindow(*context, platform::x11::makeWindowElement(pid, number), pid);
    }
    bool hasState(xcb_window_t window, const char* state) {
        const auto states = session.cardinalProperty(window, "_NET_WM_STATE");
        return std::count(states.begin(), states.end(), session.atom(state)) > 0;
    }
};

TEST_F(X11AccessibilityTest, ReadsTitlesAndTheWindowsOfEachProcess) {
    auto many = session.openTestWindow({"--title", "Grüße ✓", "--count", "3"}, 3);
    auto latin = session.openTestWindow({"--title", "Café", "--wm-name-only"});
    ASSERT_TRUE(many && latin);

    const auto windows = AXWindow::windows(*context, many->pid);
    ASSERT_EQ(windows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(privateCalls->windowNumber(windows[i].element()), many->windows[i]);
        EXPECT_EQ(windows[i].title(), "Grüße ✓ " + std::to_string(i + 1));
        EXPECT_EQ(windows[i].documentPath(), std::nullopt);
        EXPECT_FALSE(windows[i].isMinimized());
    }
    EXPECT_EQ(window(latin->pid, latin->windows[0]).title(), "Café");

    auto& ax = services->accessibility;
    const auto app = ax.applicationElement(many->pid);
    EXPECT_EQ(ax.copyAttributeValue(app, "AXTitle").value, Value::string("VornTestWindow"));
    EXPECT_EQ(ax.copyAttributeValue(app, "AXMenuBar").status, AXStatus::noValue);
    EXPECT_EQ(ax.copyAttributeValue(app, "AXEnhancedUserInterface").status,
              AXStatus::attributeUnsupported);
    EXPECT_TRUE(ax.isProcessTrusted());

    // The focused window of a process is the active one, and only while it is its own.
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-a", hexID(many->windows[1])}));
    ASSERT_TRUE(session.waitFor([&] { return session.activeWindow() == many->windows[1]; }));
    const auto focused = ax.copyAttributeValue(app, "AXFocusedWindow");
    ASSERT_EQ(focused.status, AXStatus::success);
    EXPECT_EQ(privateCalls->windowNumber(*focused.value->asElement()), many->windows[1]);
    EXPECT_EQ(ax.copyAttributeValue(ax.applicationElement(latin->pid), "AXFocusedWindow").status,
              AXStatus::noValue);
}

TEST_F(X11AccessibilityTest, AFrameSetLandsWithinTwoPointsOrOneSizeIncrement) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        bool xterm;
        Rect target;
    };
    const Case cases[] = {
        {"plain", {"--geometry", "300x200+40+40"}, false, Rect(200, 150, 500, 400)},
        {"maximised", {"--maximized"}, false, Rect(300, 200, 640, 480)},
        {"with increments",
         {"--increment", "25,30", "--geometry", "300x300+10+10"},
         false,
         Rect(400, 100, 610, 420)},
        {"xterm", {}, true, Rect(50, 60, 600, 400)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto opened = c.xterm ? session.openXterm(c.name) : session.openTestWindow(c.arguments);
        ASSERT_TRUE(opened);
        const xcb_window_t number = opened->windows[0];
        if (std::string(c.name) == "maximised") {
            ASSERT_TRUE(
                session.waitFor([&] { return hasState(number, "_NET_WM_STATE_MAXIMIZED_VERT"); }));
        }
        // The window manager rounds the client's size down to whole increments.
        const auto hints = session.cardinalProperty(number, "WM_NORMAL_HINTS");
        const bool hasIncrements = hints.size() >= 11 && (hints[0] & 0x40) != 0;
        const double incrementW = hasIncrements ? hints[9] : 0;
        const double incrementH = hasIncrements ? hints[10] : 0;

        const AXWindow w = window(opened->pid, number);
        w.setFrame(c.target);
        auto lands = [&] {
            auto frame = w.frame();
            return frame && std::abs(frame->origin.x - c.target.origin.x) <= 2
                   && std::abs(frame->origin.y - c.target.origin.y) <= 2
                   && std::abs(frame->size.width - c.target.size.width) <= std::max(2.0, incrementW)
                   && std::abs(frame->size.height - c.target.size.height)
                          <= std::max(2.0, incrementH);
        };
        EXPECT_TRUE(runUntil(lands)) << logDescription(w.frame().value_or(Rect()));
        EXPECT_FALSE(hasState(number, "_NET_WM_STATE_MAXIMIZED_VERT"));
        auto listed = WindowEnumerator::currentScreenWindows(services->windowServer, ::getpid());
        ASSERT_TRUE(listed);
        auto entry = std::find_if(listed->begin(), listed->end(),
                                  [&](const EnumeratedWindow& e) { return e.windowID == number; });
        ASSERT_NE(entry, listed->end());
        EXPECT_EQ(entry->cgBounds, w.frame());
        session.stop(opened->pid);
    }
}

TEST_F(X11AccessibilityTest, MinimisesRestoresRaisesAndTellsWhatCanBeSet) {
    auto plain = session.openTestWindow({"--title", "plain"});
    auto fixed = session.openTestWindow({"--title", "fixed", "--fixed"});
    auto dialog = session.openTestWindow({"--title", "dialog", "--type", "dialog"});
    ASSERT_TRUE(plain && fixed && dialog);
    auto& ax = services->accessibility;
    const AXWindow w = window(plain->pid, plain->windows[0]);

    EXPECT_EQ(ax.setAttributeValue(w.element(), "AXMinimized", Value::boolean(true)),
              AXStatus::success);
    ASSERT_TRUE(
        session.waitFor([&] { return hasState(plain->windows[0], "_NET_WM_STATE_HIDDEN"); }));
    EXPECT_TRUE(w.isMinimized());
    w.raiseAfterFront();
    EXPECT_TRUE(session.waitFor([&] {
        return !hasState(plain->windows[0], "_NET_WM_STATE_HIDDEN")
               && session.activeWindow() == plain->windows[0];
    }));
    EXPECT_FALSE(w.isMinimized());

    // The raise action puts a window in front of the others.
    const AXWindow back = window(fixed->pid, fixed->windows[0]);
    EXPECT_EQ(ax.performAction(back.element(), "AXRaise"), AXStatus::success);
    EXPECT_TRUE(session.waitFor([&] { return session.stacking().front() == fixed->windows[0]; }));
    EXPECT_EQ(ax.performAction(back.element(), "AXPress"), AXStatus::actionUnsupported);

    EXPECT_EQ(ax.isAttributeSettable(w.element(), "AXSize").value, true);
    EXPECT_EQ(ax.isAttributeSettable(back.element(), "AXSize").value, false);
    EXPECT_EQ(ax.isAttributeSettable(back.element(), "AXPosition").value, true);
    EXPECT_EQ(ax.copyAttributeValue(w.element(), "AXSubrole").value,
              Value::string("AXStandardWindow"));
    EXPECT_EQ(ax.copyAttributeValue(
                    platform::x11::makeWindowElement(dialog->pid, dialog->windows[0]), "AXSubrole")
                  .value,
              Value::string("AXDialog"));
    EXPECT_EQ(ax.setAttributeValue(w.element(), "AXPosition", Value::size({1, 2})),
              AXStatus::illegalArgument);
    EXPECT_EQ(ax.setAttributeValue(w.element(), "AXSize", Value::size({NAN, 2})),
              AXStatus::illegalArgument);
}

TEST_F(X11AccessibilityTest, ElementsOfAProcessThatEndedAreInvalid) {
    auto gone = session.openTestWindow({"--title", "gone"});
    ASSERT_TRUE(gone);
    const AXWindow w = window(gone->pid, gone->windows[0]);
    const auto app = services->accessibility.applicationElement(gone->pid);
    ASSERT_EQ(services->accessibility.copyAttributeValue(app, "AXWindows").value->asArray()->size(),
              1u);
    session.stop(gone->pid);
    ASSERT_TRUE(session.waitFor([&] { return session.clients().empty(); }));

    auto& ax = services->accessibility;
    for (const char* attribute : {"AXTitle", "AXPosition", "AXSize", "AXMinimized", "AXSubrole"}) {
        EXPECT_EQ(ax.copyAttributeValue(w.element(), attribute).status, AXStatus::invalidElement)
            << attribute;
    }
    EXPECT_EQ(ax.setAttributeValue(w.element(), "AXPosition", Value::point({1, 1})),
              AXStatus::invalidElement);
    EXPECT_EQ(ax.performAction(w.element(), "AXRaise"), AXStatus::invalidElement);
    EXPECT_EQ(ax.copyAttributeValue(app, "AXWindows").status, AXStatus::invalidElement);
    EXPECT_TRUE(AXWindow::windows(*context, gone->pid).empty());
}

}  // namespace
}  // namespace vorn
