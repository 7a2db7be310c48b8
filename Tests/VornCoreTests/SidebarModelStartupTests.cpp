#include <thread>

#include <gtest/gtest.h>

#include "SidebarModelHarness.h"

namespace vorn {
namespace {

using test::makeSpace;
using test::makeTab;
using test::makeWindow;
using test::SidebarModelHarness;

TEST(SidebarModelStartupTests, FirstStartMakesHomeAndSavesOnce) {
    SidebarModelHarness h;
    auto& model = h.start();
    ASSERT_EQ(model.spaces().size(), 1u);
    const Space& home = model.spaces()[0];
    EXPECT_EQ(home.name, "Home");
    EXPECT_EQ(home.order, 0);
    EXPECT_EQ(model.activeSpaceId(), home.id);
    EXPECT_EQ(h.modelLog("init"),
              std::vector<std::string>{"init spaces=1 activeSpaceId=" + home.id.string()
                                       + " perm=true tokenMatch=false droppedHints=0"
                                         " persistedToken=nil currentToken=asid:100"});
    ASSERT_EQ(h.store->saves.size(), 1u);
    const AppState& saved = h.store->saves[0];
    EXPECT_EQ(saved.version, 2);
    EXPECT_EQ(saved.sessionToken, "asid:100");
    EXPECT_EQ(saved.activeSpaceId, home.id);
    EXPECT_EQ(std::count(h.wm->calls.begin(), h.wm->calls.end(), "observe"), 1);

    // Refreshes that change nothing save nothing.
    h.wm->emit(WindowChange::changed());
    model.refresh();
    h.executor->drain();
    EXPECT_EQ(h.store->saves.size(), 1u);
}

struct TokenCase {
    const char* name;
    std::optional<std::string> saved;
    bool match;
};

TEST(SidebarModelStartupTests, ANewSessionDropsEveryBindingAndRebindsByPathOrTitle) {
    const TokenCase cases[] = {
        {"same session", "asid:100", true},
        {"other session", "asid:7", false},
        {"no token saved", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        // Windows 1 and 2 now belong to other documents; 11 and 12 are the tabs' own.
        h.wm->onScreen = {makeWindow(1, "a", "Other"), makeWindow(2, "b", "Else"),
                          makeWindow(11, "a", "Notes", "/n.txt"), makeWindow(12, "b", "Plan")};
        h.storeSpaces({makeSpace("S", 0,
                                 {makeTab("a", "Old title", 0, 1, "/n.txt"),
                                  makeTab("b", "Plan", 1, 2), makeTab("c", "Unbound", 2)})},
                      std::nullopt, c.saved);
        auto& model = h.start();
        const std::string tail =
            c.match ? "tokenMatch=true droppedHints=0" : "tokenMatch=false droppedHints=2";
        ASSERT_EQ(h.modelLog("init").size(), 1u);
        EXPECT_NE(h.modelLog("init")[0].find(tail), std::string::npos) << h.modelLog("init")[0];
        const auto& tabs = model.spaces()[0].tabs;
        EXPECT_EQ(tabs[0].boundWindowID, WindowID(c.match ? 1 : 11));
        EXPECT_EQ(tabs[1].boundWindowID, WindowID(c.match ? 2 : 12));
        EXPECT_EQ(tabs[2].boundWindowID, std::nullopt);
        ASSERT_EQ(h.store->saves.size(), 1u);
        EXPECT_EQ(h.store->saves[0].sessionToken, "asid:100");
    }
}

TEST(SidebarModelStartupTests, ChoosesTheActiveSpace) {
    auto low = makeSpace("Low", 0);
    auto lowToo = makeSpace("Low too", 0);
    auto high = makeSpace("High", 5);
    struct Case {
        const char* name;
        std::optional<Uuid> saved;
        const Space& expected;
    } cases[] = {
        {"saved id", high.id, high},
        {"unknown id: lowest order, first among equals", Uuid::random(), low},
        {"no id", std::nullopt, low},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        h.storeSpaces({high, low, lowToo}, c.saved);
        EXPECT_EQ(h.start().activeSpaceId(), c.expected.id);
    }
}

TEST(SidebarModelStartupTests, WithoutAWindowListNothingIsBoundCountedOrSaved) {
    SidebarModelHarness h;
    h.wm->onScreen = std::nullopt;
    h.wm->permission = false;
    h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Doc", 0, 5)})}, std::nullopt, "asid:7");
    auto& model = h.start();
    h.wm->permission = true;
    model.createSpace();
    model.refresh();
    EXPECT_TRUE(model.hasPermission());
    EXPECT_TRUE(h.store->saves.empty());
    EXPECT_EQ(
        h.modelLog("refresh skipped: window enumeration unavailable (locked / no session)").size(),
        3u);

    // Once something was saved, edits made while locked are saved; bindings stay untouched.
    SidebarModelHarness saved;
    saved.storeSpaces({makeSpace("S", 0, {makeTab("a", "Doc", 0, 5)})});
    saved.wm->aliveOffScreen = {WindowID(5)};
    saved.start();
    saved.wm->onScreen = std::nullopt;
    saved.wm->aliveOffScreen.clear();
    for (int i = 0; i < 3; ++i) {
        saved.model->refresh();
    }
    EXPECT_EQ(saved.model->spaces()[0].tabs[0].boundWindowID, WindowID(5));
    saved.model->createSpace();
    ASSERT_EQ(saved.store->saves.size(), 2u);
    EXPECT_EQ(saved.store->saves[1].spaces.size(), 2u);
}

TEST(SidebarModelStartupTests, MissesClearABindingOnlyTheSecondTimeInARow) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(5, "a", "Doc")};
    h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Doc", 0, 5), makeTab("b", "Far", 1, 6)})});
    h.wm->aliveOffScreen = {WindowID(6)};  // on another desktop: kept however long
    auto& model = h.start(true);
    const auto bound = [&] { return model.spaces()[0].tabs[0].boundWindowID; };

    h.wm->onScreen->clear();
    model.refresh();  // first miss
    h.wm->addWindow(makeWindow(5, "a", "Doc"));
    model.refresh();  // seen again: the count starts over
    h.wm->onScreen->clear();
    model.refresh();
    EXPECT_EQ(bound(), WindowID(5));
    EXPECT_TRUE(h.modelLog("binding CLEARED").empty());
    model.refresh();
    EXPECT_EQ(bound(), std::nullopt);
    EXPECT_EQ(model.spaces()[0].tabs[1].boundWindowID, WindowID(6));
    EXPECT_EQ(h.modelLog("binding CLEARED"),
              std::vector<std::string>{"binding CLEARED space=" + model.spaces()[0].id.string()
                                       + " app=a oldWin=5 stillAlive=false doc=-"});
}

TEST(SidebarModelStartupTests, AFailedSaveIsOfferedAgainOnTheNextRefresh) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(3, "a", "Doc")};
    h.store->failing = true;
    auto& model = h.start();
    model.pin(makeWindow(3, "a", "Doc"));
    model.refresh();
    EXPECT_EQ(h.store->saves.size(), 3u);  // every attempt failed, so every refresh tries
    EXPECT_TRUE(h.store->stored.spaces.empty());

    h.store->failing = false;
    h.wm->emit(WindowChange::changed());
    h.executor->drain();
    ASSERT_EQ(h.store->stored.spaces.size(), 1u);
    EXPECT_EQ(h.store->stored.spaces[0].tabs.size(), 1u);
    model.refresh();
    EXPECT_EQ(h.store->saves.size(), 4u);
}

TEST(SidebarModelStartupTests, ChangesRunAsQueuedTasksAndFocusLeads) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two")};
    auto& model = h.start(true);
    // The window layer may report from any thread; nothing runs before the main thread drains.
    std::thread reporter([&] { h.wm->emit(WindowChange::focused(WindowID(1))); });
    reporter.join();
    h.wm->emit(WindowChange::focused(WindowID(2)));
    h.wm->emit(WindowChange::focused(WindowID(2)));
    EXPECT_EQ(h.listCalls(), 0u);
    EXPECT_EQ(h.executor->drain(), 3u);
    EXPECT_EQ(h.listCalls(), 3u);
    EXPECT_EQ(model.activeWindowID(), WindowID(2));
    ASSERT_EQ(model.ambient().size(), 2u);
    EXPECT_EQ(model.ambient()[0].windowID, WindowID(2));
    EXPECT_EQ(model.ambient()[1].windowID, WindowID(1));
}

TEST(SidebarModelStartupTests, TheWindowThatHasTheKeyboardLeadsFromTheStart) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two"),
                      makeWindow(3, "c", "Three")};
    h.wm->focused = WindowID(2);
    auto& model = h.start();
    EXPECT_EQ(model.activeWindowID(), WindowID(2));
    ASSERT_EQ(model.ambient().size(), 3u);
    EXPECT_EQ(model.ambient()[0].windowID, WindowID(2));
    EXPECT_EQ(model.ambient()[1].windowID, WindowID(1));
}

TEST(SidebarModelStartupTests, ReleasingTheModelLeavesQueuedChangesHarmless) {
    SidebarModelHarness h;
    std::weak_ptr<SidebarModel> weak = h.start().weak_from_this();
    h.wm->emit(WindowChange::focused(WindowID(4)));
    h.model.reset();
    EXPECT_TRUE(weak.expired());
    h.wm->emit(WindowChange::changed());
    h.wm->calls.clear();
    EXPECT_EQ(h.executor->drain(), 2u);
    EXPECT_TRUE(h.wm->calls.empty());
}

}  // namespace
}  // namespace vorn
