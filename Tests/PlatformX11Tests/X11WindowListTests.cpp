#include <gtest/gtest.h>

#include "AXWindow.h"
#include "WindowEnumerator.h"
#include "X11Fixture.h"

namespace vorn {
namespace {

using test::X11Fixture;

class X11WindowListTest : public X11Fixture {};

TEST_F(X11WindowListTest, Smoke) {
    auto a = session.openTestWindow({"--title", "Alpha", "--geometry", "300x200+100+100"});
    ASSERT_TRUE(a);
    auto x = session.openXterm("Xterm one");
    ASSERT_TRUE(x);
    auto list = services->windowServer.copyWindowList(0x11, 0);
    ASSERT_TRUE(list);
    std::cout << list->description() << "\n";
    std::cout << *session.run({"wmctrl", "-l", "-G", "-p"}) << "\n";
    char id[32];
    std::snprintf(id, sizeof id, "0x%x", a->windows[0]);
    std::cout << *session.run({"xwininfo", "-tree", "-id", id}) << "\n";
    auto wins = AXWindow::windows(*context, a->pid);
    ASSERT_EQ(wins.size(), 1u);
    std::cout << "frame " << logDescription(*wins[0].frame()) << " title " << *wins[0].title()
              << "\n";
    wins[0].setFrame(Rect(500, 300, 640, 480));
    std::cout << "after " << logDescription(*wins[0].frame()) << "\n";
    runUntil([&] { return false; }, std::chrono::milliseconds(200));
    std::cout << "later " << logDescription(*wins[0].frame()) << "\n";
    auto xw = AXWindow::windows(*context, x->pid);
    xw[0].setFrame(Rect(10, 20, 640, 480));
    runUntil([&] { return false; }, std::chrono::milliseconds(200));
    std::cout << "xterm " << logDescription(*xw[0].frame()) << "\n";
    std::cout << "active " << std::hex << session.activeWindow() << std::dec << "\n";
    bool ok = privateCalls->skyLightFocusWindow(a->pid, a->windows[0]);
    std::cout << "focus " << ok << "\n";
    runUntil([&] { return session.activeWindow() == a->windows[0]; });
    std::cout << "active " << std::hex << session.activeWindow() << std::dec << "\n";
    std::cout << *session.run({"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "screen"});
    std::cout << *session.run({"xrandr", "--setmonitor", "*R", "960/254x1080/286+960+0", "none"});
    std::cout << *session.run({"xrandr", "--listmonitors"});
    for (auto& s : services->screens.screens()) {
        std::cout << s.localizedName << " " << s.deviceDescription.description() << " "
                  << logDescription(s.frame) << " " << logDescription(s.visibleFrame) << "\n";
    }
}

}  // namespace
}  // namespace vorn
