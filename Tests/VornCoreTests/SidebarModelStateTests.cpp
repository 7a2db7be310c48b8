#include <map>

#include <gtest/gtest.h>

#include "SidebarModelHarness.h"

namespace vorn {
namespace {

using test::makeSpace;
using test::makeTab;
using test::makeWindow;
using test::SidebarModelHarness;
using Field = SidebarModel::Field;

// How many times each field was reported while it is alive.
struct Heard {
    explicit Heard(SidebarModel& model)
        : subscription(model.observe([this](Field field) { ++counts[field]; })) {}

    std::map<Field, int> counts;
    Subscription subscription;
};

TEST(SidebarModelStateTests, FieldsNotifyOnlyWhenTheirValueChanges) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "One")};
    h.storeSpaces({makeSpace("A", 0, {makeTab("a", "One", 0, 1)}), makeSpace("B", 1)});
    auto& model = h.start();
    {
        Heard heard(model);
        model.refresh();
        h.wm->emit(WindowChange::changed());
        h.executor->drain();
        EXPECT_TRUE(heard.counts.empty());
    }
    {
        Heard heard(model);
        h.wm->permission = false;
        h.wm->addWindow(makeWindow(2, "b", "Two"));
        h.wm->emit(WindowChange::focused(WindowID(2)));
        h.executor->drain();
        EXPECT_EQ(heard.counts,
                  (std::map<Field, int>{
                      {Field::hasPermission, 1}, {Field::ambient, 1}, {Field::focusOrder, 1}}));
    }
    {
        // Focused again while in front: nothing moves.
        Heard heard(model);
        h.wm->emit(WindowChange::focused(WindowID(2)));
        h.executor->drain();
        EXPECT_TRUE(heard.counts.empty());
    }
    {
        // The tab's window gone: the miss is counted, and on the second miss the tab unbound.
        Heard heard(model);
        h.wm->removeWindow(WindowID(1));
        model.refresh();
        EXPECT_EQ(heard.counts, (std::map<Field, int>{{Field::absenceCountsBySpace, 1}}));
        model.refresh();
        EXPECT_EQ(heard.counts[Field::spaces], 1);
    }
    Heard heard(model);
    heard.subscription.reset();
    model.refresh();
    EXPECT_TRUE(heard.counts.empty());
}

TEST(SidebarModelStateTests, PlacementModeChangesAreLoggedReportedAndSavedOnce) {
    SidebarModelHarness h;
    auto& model = h.start(true);
    Heard heard(model);
    model.setPlacementMode(PlacementMode::fill);  // the default
    EXPECT_TRUE(heard.counts.empty());
    EXPECT_TRUE(h.modelLog().empty());
    EXPECT_TRUE(h.telemetry->events.empty());
    EXPECT_TRUE(h.store->saves.empty());

    model.setPlacementMode(PlacementMode::center);
    EXPECT_EQ(model.placementMode(), PlacementMode::center);
    EXPECT_EQ(heard.counts[Field::settings], 1);
    EXPECT_EQ(h.modelLog(), std::vector<std::string>{"placementMode -> center"});
    ASSERT_EQ(h.telemetry->events.size(), 1u);
    EXPECT_EQ(h.telemetry->events[0].signalName(), "Placement.applied");
    EXPECT_EQ(h.telemetry->events[0], TelemetryEvent::placementApplied(PlacementMode::center));
    ASSERT_EQ(h.store->saves.size(), 1u);
    EXPECT_EQ(h.store->saves[0].settings.placement, PlacementMode::center);
    EXPECT_EQ(h.listCalls(), 0u);  // no refresh, no window moved
}

TEST(SidebarModelStateTests, TogglingTheAmbientListTwiceRestoresItWithTwoSaves) {
    SidebarModelHarness h;
    auto& model = h.start(true);
    const std::string id = model.activeSpaceId().string();
    model.toggleAmbientCollapsed();
    EXPECT_TRUE(model.ambientCollapsed());
    model.setAmbientCollapsed(true);
    model.toggleAmbientCollapsed();
    EXPECT_FALSE(model.ambientCollapsed());
    EXPECT_EQ(h.modelLog(), (std::vector<std::string>{"ambientCollapsed -> true space=" + id,
                                                      "ambientCollapsed -> false space=" + id}));
    ASSERT_EQ(h.store->saves.size(), 2u);
    EXPECT_TRUE(h.store->saves[0].spaces[0].ambientCollapsed);
}

TEST(SidebarModelStateTests, DisplayedAmbientWhileCollapsed) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "Tab's"), makeWindow(2, "b", "Ambient"),
                      makeWindow(3, "c", "Other")};
    h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Tab's", 0, 1)})});
    auto& model = h.start();
    const auto shown = [&] {
        std::vector<std::uint32_t> out;
        for (const auto& w : model.displayedAmbient()) {
            out.push_back(w.windowID.raw);
        }
        return out;
    };
    EXPECT_EQ(shown(), (std::vector<std::uint32_t>{2, 3}));
    model.setAmbientCollapsed(true);
    EXPECT_TRUE(shown().empty());  // no focused window yet
    h.wm->emit(WindowChange::focused(WindowID(2)));
    h.executor->drain();
    EXPECT_EQ(shown(), std::vector<std::uint32_t>{2});
    h.wm->emit(WindowChange::focused(WindowID(1)));  // a tab's window is active
    h.executor->drain();
    EXPECT_EQ(model.activeWindowID(), WindowID(1));
    EXPECT_TRUE(shown().empty());
}

TEST(SidebarModelStateTests, AWindowNumberListedAgainAfterItsWindowWentHasNoFocusRank) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two"),
                      makeWindow(3, "c", "Three")};
    auto& model = h.start();
    const auto order = [&] {
        std::vector<std::uint32_t> out;
        for (const auto& w : model.ambient()) {
            out.push_back(w.windowID.raw);
        }
        return out;
    };
    const auto focus = [&](std::uint32_t window) {
        h.wm->emit(WindowChange::focused(WindowID(window)));
        h.executor->drain();
    };
    focus(2);
    focus(3);
    EXPECT_EQ(order(), (std::vector<std::uint32_t>{3, 2, 1}));

    // Window 3 closes and its number goes to another application's window; window 2's
    // application starts a new window that takes its number.
    h.wm->removeWindow(WindowID(3));
    h.wm->removeWindow(WindowID(2));
    model.refresh();
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two again"),
                      makeWindow(3, "d", "Other")};
    model.refresh();
    EXPECT_EQ(order(), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(model.activeWindowID(), std::nullopt);

    // A new window may be reported focused before it is listed; it keeps its rank until it is.
    focus(4);
    model.refresh();
    h.wm->addWindow(makeWindow(4, "e", "New"));
    model.refresh();
    EXPECT_EQ(order(), (std::vector<std::uint32_t>{4, 1, 2, 3}));
    // Reported for a window that is not listed in time (a panel, a dock): forgotten.
    focus(99);
    for (int i = 0; i < 10; ++i) {
        model.refresh();
    }
    h.wm->onScreen->push_back(makeWindow(99, "f", "Late"));
    model.refresh();
    EXPECT_EQ(order(), (std::vector<std::uint32_t>{4, 1, 2, 3, 99}));
}

TEST(SidebarModelStateTests, TabListsKeepStoredOrderAmongEqualsAndExpireOnlyOnRefresh) {
    SidebarModelHarness h;
    const Date soon = h.now.adding(10);
    h.storeSpaces({makeSpace("S", 0,
                             {makeTab("a", "P2", 1), makeTab("a", "C", 0, {}, {}, soon),
                              makeTab("a", "P0", 0), makeTab("a", "P1", 1)})});
    auto& model = h.start();
    const auto titles = [](const std::vector<SpaceTab>& tabs) {
        std::vector<std::string> out;
        for (const auto& t : tabs) {
            out.push_back(t.lastTitle);
        }
        return out;
    };
    EXPECT_EQ(titles(model.pinnedTabs()), (std::vector<std::string>{"P0", "P2", "P1"}));
    h.now = soon;
    EXPECT_EQ(titles(model.claimedTabs()), std::vector<std::string>{"C"});
    model.refresh();
    EXPECT_TRUE(model.claimedTabs().empty());
}

TEST(SidebarModelStateTests, AnUnchangedTickIsPostedOnlyWhileAMissAnExpiryOrASaveIsDue) {
    SidebarModelHarness h;
    const Date expiry = h.now.adding(10);
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two")};
    h.storeSpaces(
        {makeSpace("S", 0, {makeTab("a", "One", 0, 1), makeTab("b", "Two", 0, 2, {}, expiry)})});
    auto& model = h.start();
    h.executor->drain();
    const auto tick = [&] {
        h.wm->emit(WindowChange::unchanged());
        return h.executor->drain();
    };
    EXPECT_EQ(tick(), 0u);

    // The bound window gone: each tick counts a miss until the tab lets go of it.
    h.wm->removeWindow(WindowID(1));
    h.wm->emit(WindowChange::changed());
    h.executor->drain();
    EXPECT_EQ(tick(), 1u);
    EXPECT_FALSE(h.tabTitled("One").boundWindowID);
    EXPECT_EQ(tick(), 0u);

    // A claim due to expire.
    h.now = expiry;
    EXPECT_EQ(tick(), 1u);
    EXPECT_TRUE(model.claimedTabs().empty());
    EXPECT_EQ(tick(), 0u);

    // A save that failed is offered again at every tick until it succeeds.
    h.store->failing = true;
    model.setPlacementMode(PlacementMode::center);
    EXPECT_EQ(tick(), 1u);
    EXPECT_EQ(tick(), 1u);
    h.store->failing = false;
    EXPECT_EQ(tick(), 1u);
    EXPECT_EQ(h.store->stored.settings.placement, PlacementMode::center);
    EXPECT_EQ(tick(), 0u);
}

TEST(SidebarModelStateTests, ARoutineRefreshAfterASettledOneStillSeesWhatChangedMeanwhile) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two"),
                      makeWindow(4, "d", "Four")};
    h.wm->aliveOffScreen = {WindowID(3)};
    h.storeSpaces({makeSpace("S", 0, {makeTab("a", "One", 0, 1), makeTab("c", "Hidden", 1, 3)})});
    auto& model = h.start();
    const auto routine = [&] {
        h.wm->emit(WindowChange::changed());
        h.executor->drain();
    };
    routine();
    routine();

    // A title that changed in place, and windows listed in another order.
    h.wm->onScreen = {makeWindow(4, "d", "Four"), makeWindow(2, "b", "Two"),
                      makeWindow(1, "a", "One, edited")};
    routine();
    EXPECT_EQ(h.tabTitled("One, edited").boundWindowID, WindowID(1));
    ASSERT_EQ(model.ambient().size(), 2u);
    EXPECT_EQ(model.ambient().front().windowID, WindowID(4));
    routine();

    // A bound window off the screen that closes changes no listing; its tab lets go all the same.
    h.wm->aliveOffScreen.clear();
    routine();
    routine();
    EXPECT_EQ(h.tabTitled("Hidden").boundWindowID, std::nullopt);
}

}  // namespace
}  // namespace vorn
