#include <gtest/gtest.h>

#include "RebindEngine.h"
#include "ScriptedWindowManager.h"

namespace vorn {
namespace {

using test::makeWindow;

std::vector<std::uint32_t> ids(const std::vector<WindowInfo>& windows) {
    std::vector<std::uint32_t> out;
    for (const auto& w : windows) {
        out.push_back(w.windowID.raw);
    }
    return out;
}

TEST(RebindEngineTests, CandidatesGoByBundleAndNumberOnly) {
    const SpaceTab tab{Uuid::random(), AppRef{"org.a", "A"}, "Doc", 0, {}, WindowID(1), {}};
    std::vector<WindowInfo> windows;
    for (const char* bundle : {"org.a", "org.A", "org.a", "org.a", "org.a", "org.a"}) {
        windows.push_back(makeWindow(windows.size() + 1, bundle, ""));
    }
    windows[3].state = WindowState::minimized;
    windows[4].app.name = "Other name";
    windows[5].windowID = WindowID(3);  // listed twice

    EXPECT_TRUE(rebindCandidates(tab, {}, {}).empty());
    // The tab's own stale binding excludes nothing; only the numbers passed in do.
    EXPECT_EQ(ids(rebindCandidates(tab, windows, {})), (std::vector<std::uint32_t>{1, 3, 4, 5, 3}));
    EXPECT_EQ(ids(rebindCandidates(tab, windows, {WindowID(3), WindowID(99)})),
              (std::vector<std::uint32_t>{1, 4, 5}));

    EXPECT_EQ(reopenAction({}), ReopenAction::openNew());
    EXPECT_EQ(reopenAction({windows[4]}), ReopenAction::rebind({windows[4]}));
}

TEST(RebindEngineTests, RequestEquality) {
    const auto a = makeWindow(1, "org.a", "A");
    const auto b = makeWindow(2, "org.a", "B");
    EXPECT_EQ(RebindRequest("Caf\u00E9", "T", {a, b}), RebindRequest("Cafe\u0301", "T", {a, b}));
    EXPECT_NE(RebindRequest("A", "T", {a, b}), RebindRequest("A", "T", {b, a}));
}

}  // namespace
}  // namespace vorn
