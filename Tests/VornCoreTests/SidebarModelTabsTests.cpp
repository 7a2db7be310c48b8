#include <limits>

#include <gtest/gtest.h>

#include "SidebarModelHarness.h"

namespace vorn {
namespace {

using test::makeSpace;
using test::makeTab;
using test::makeWindow;
using test::SidebarModelHarness;

constexpr auto maxOrder = std::numeric_limits<std::int64_t>::max();

TEST(SidebarModelTabsTests, PinMakesABoundTabAfterTheLargestOrderOfItsKind) {
    struct Case {
        const char* name;
        std::vector<SpaceTab> tabs;
        std::int64_t expected;
    } cases[] = {
        {"first pinned", {makeTab("x", "C", 9, {}, {}, Date(9e9))}, 0},
        {"gaps stay", {makeTab("x", "A", 0), makeTab("x", "B", 5), makeTab("x", "C", 1)}, 6},
        {"saturates", {makeTab("x", "A", maxOrder)}, maxOrder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        h.storeSpaces({makeSpace("S", 0, c.tabs)});
        auto& model = h.start(true);
        model.pin(makeWindow(7, "com.app", "", "/doc"));
        const SpaceTab& tab = h.tabTitled("com.app");
        EXPECT_EQ(tab.order, c.expected);
        EXPECT_EQ(tab.lastTitle, "com.app");  // an empty title gives the application's name
        EXPECT_EQ(tab.boundWindowID, WindowID(7));
        EXPECT_EQ(tab.docPath, "/doc");
        EXPECT_FALSE(tab.isClaimed());
        EXPECT_EQ(h.modelLog(), std::vector<std::string>{"pin app=com.app win=7 space="
                                                         + model.activeSpaceId().string()});
        EXPECT_EQ(h.listCalls(), 1u);
    }
}

TEST(SidebarModelTabsTests, AWindowHeldInTheActiveSpaceGetsNoSecondTab) {
    SidebarModelHarness h;
    const auto w = makeWindow(4, "a", "Doc");
    h.wm->onScreen = {w};
    h.storeSpaces(
        {makeSpace("S", 0, {makeTab("a", "Doc", 3, 4, {}, Date(9e9))}), makeSpace("T", 1)});
    auto& model = h.start(true);
    model.pin(w);
    model.activate(w);
    EXPECT_EQ(model.activeSpace()->tabs.size(), 1u);
    EXPECT_TRUE(model.activeSpace()->tabs[0].isClaimed());  // not promoted
    EXPECT_EQ(h.modelLog(), (std::vector<std::string>{
                                "pin SKIPPED (already claimed in this Space) app=a win=4",
                                "activate ambient app=a win=4",
                                "place win=4 mode=fill kind=recent resizable=true from=(100,100 "
                                "800x600) screen=(0,0 1440x900) -> target=(280,16 1040x868)",
                                "claim SKIPPED (already claimed in this Space) app=a win=4"}));
    EXPECT_EQ(h.wm->activations, std::vector<WindowID>{WindowID(4)});
    EXPECT_EQ(h.listCalls(), 0u);

    // Another space may hold the same window.
    model.switchSpace(model.spaces()[1].id);
    model.pin(w);
    EXPECT_EQ(model.activeSpace()->tabs.size(), 1u);
}

TEST(SidebarModelTabsTests, ActivatingAnAmbientWindowClaimsIt) {
    SidebarModelHarness h;
    const auto w = makeWindow(2, "b", "Page");
    h.wm->onScreen = {w};
    auto& model = h.start(true);
    model.activate(w);
    ASSERT_EQ(model.claimedTabs().size(), 1u);
    const SpaceTab tab = model.claimedTabs()[0];
    EXPECT_EQ(tab.order, 0);
    EXPECT_EQ(tab.claimExpiresAt, h.now.adding(86400));
    EXPECT_EQ(tab.boundWindowID, WindowID(2));
    EXPECT_EQ(model.activeWindowID(), WindowID(2));
    EXPECT_TRUE(model.ambient().empty());
    EXPECT_EQ(h.modelLog("claim"), std::vector<std::string>{"claim app=b win=2 space="
                                                            + model.activeSpaceId().string()});
    EXPECT_EQ(h.wm->setFrames.size(), 1u);
    EXPECT_EQ(h.store->saves.size(), 1u);
}

TEST(SidebarModelTabsTests, PromoteMovesATabToTheEndOfThePinnedList) {
    struct Case {
        const char* name;
        std::vector<SpaceTab> others;
        std::int64_t claimedOrder;
        std::int64_t expected;
    } cases[] = {
        {"after pinned 0 and 1", {makeTab("x", "P0", 0), makeTab("x", "P1", 1)}, 7, 8},
        {"its own order counts", {}, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        auto tabs = c.others;
        tabs.push_back(makeTab("x", "C", c.claimedOrder, {}, {}, Date(9e9)));
        h.storeSpaces({makeSpace("S", 0, tabs)});
        auto& model = h.start(true);
        model.promote(tabs.back());
        const SpaceTab& promoted = h.tabTitled("C");
        EXPECT_FALSE(promoted.isClaimed());
        EXPECT_EQ(promoted.order, c.expected);
        EXPECT_EQ(h.modelLog(),
                  std::vector<std::string>{"promote id=" + tabs.back().id.string() + " -> pinned"});
        EXPECT_EQ(h.store->saves.size(), 1u);
    }
    // A tab that is not in the active space: nothing at all.
    SidebarModelHarness h;
    auto& model = h.start(true);
    model.promote(makeTab("x", "Stray", 0, {}, {}, Date(9e9)));
    EXPECT_TRUE(h.modelLog().empty());
    EXPECT_EQ(h.listCalls(), 0u);
}

TEST(SidebarModelTabsTests, RemoveDeletesOnlyFromTheActiveSpace) {
    SidebarModelHarness h;
    const auto keep = makeTab("a", "Keep", 0);
    const auto gone = makeTab("a", "Gone", 1, {}, {}, Date(9e9));
    const auto elsewhere = makeTab("b", "Elsewhere", 0);
    h.storeSpaces({makeSpace("S", 0, {keep, gone}), makeSpace("T", 1, {elsewhere})});
    auto& model = h.start(true);
    model.remove(model.activeSpace()->tabs[1]);  // a reference into the model's own state
    model.remove(elsewhere);
    EXPECT_EQ(model.activeSpace()->tabs, std::vector<SpaceTab>{keep});
    EXPECT_EQ(model.spaces()[1].tabs.size(), 1u);
    EXPECT_EQ(h.modelLog(), (std::vector<std::string>{
                                "remove app=a id=" + gone.id.string() + " claimed=true",
                                "remove app=b id=" + elsewhere.id.string() + " claimed=false"}));
    EXPECT_EQ(h.listCalls(), 2u);
    EXPECT_EQ(h.store->saves.size(), 1u);
}

}  // namespace
}  // namespace vorn
