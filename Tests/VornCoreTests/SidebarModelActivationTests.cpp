#include <gtest/gtest.h>

#include "SidebarModelHarness.h"

namespace vorn {
namespace {

using test::makeSpace;
using test::makeTab;
using test::makeWindow;
using test::SidebarModelHarness;

const Date later(9e9);

struct PlaceCase {
    const char* name;
    PlacementMode mode;
    bool claimed;
    std::optional<Rect> frame;
    bool resizable;
    std::string expectedLog;
    std::optional<Rect> expectedFrame;
    bool asksResizable;
};

TEST(SidebarModelActivationTests, PlacesTheActivatedWindowByModeAndKind) {
    const std::string moved = "place win=5 mode=";
    const PlaceCase cases[] = {
        {"normal, clear of the sidebar", PlacementMode::normal, false, Rect(300, 100, 800, 600),
         true, "place win=5 mode=normal kind=pinned: no move needed", std::nullopt, false},
        {"normal, fractions truncated in the log", PlacementMode::normal, true,
         Rect(100.7, 200.2, 800.5, 600.9), true,
         moved
             + "normal kind=recent resizable=true from=(100,200 800x600) screen=(0,0 1440x900)"
               " -> target=(176,200 801x601)",
         Rect(176, 200, 801, 601), false},
        {"center", PlacementMode::center, false, Rect(0, 0, 2000, 2000), true,
         moved
             + "center kind=pinned resizable=true from=(0,0 2000x2000) screen=(0,0 1440x900)"
               " -> target=(280,16 1040x868)",
         Rect(280, 16, 1040, 868), false},
        {"fill, pinned", PlacementMode::fill, false, Rect(300, 100, 800, 600), true,
         moved
             + "fill kind=pinned resizable=true from=(300,100 800x600) screen=(0,0 1440x900)"
               " -> target=(160,0 1280x900)",
         Rect(160, 0, 1280, 900), true},
        {"fill, not resizable: centred at its size", PlacementMode::fill, true,
         Rect(0, 0, 400, 300), false,
         moved
             + "fill kind=recent resizable=false from=(0,0 400x300) screen=(0,0 1440x900)"
               " -> target=(600,300 400x300)",
         Rect(600, 300, 400, 300), true},
        {"frame unreadable", PlacementMode::fill, false, std::nullopt, true,
         "place win=5: no frame (window gone)", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        h.wm->aliveOffScreen = {WindowID(5)};
        if (c.frame) {
            h.wm->frames[WindowID(5)] = *c.frame;
        }
        if (!c.resizable) {
            h.wm->notResizable = {WindowID(5)};
        }
        h.storeSpaces({makeSpace(
            "S", 0,
            {makeTab("a", "Doc", 0, 5, {}, c.claimed ? std::optional(later) : std::nullopt)})});
        auto& model = h.start();
        model.setPlacementMode(c.mode);
        h.forgetHistory();
        model.activate(model.activeSpace()->tabs[0]);
        EXPECT_EQ(h.modelLog("place"), std::vector<std::string>{c.expectedLog});
        EXPECT_EQ(h.wm->setFrames.size(), c.expectedFrame ? 1u : 0u);
        if (c.expectedFrame && !h.wm->setFrames.empty()) {
            EXPECT_EQ(h.wm->setFrames[0].second, *c.expectedFrame);
        }
        const bool askedResizable =
            std::count(h.wm->calls.begin(), h.wm->calls.end(), "isResizable win#5") > 0;
        EXPECT_EQ(askedResizable, c.asksResizable);
        if (!c.frame) {
            EXPECT_EQ(std::count(h.wm->calls.begin(), h.wm->calls.end(), "currentScreenArea"), 0);
        }
    }
}

TEST(SidebarModelActivationTests, APlacementThatCannotBeMadeSaysWhy) {
    struct Case {
        const char* name;
        PlacementMode mode;
        Rect visible;
        double sidebarWidth;
        std::string expectedLog;
    };
    const Case cases[] = {
        {"struts took the whole display", PlacementMode::fill, Rect(1920, 0, 0, 1080), 160,
         "place win=5 mode=fill kind=pinned: the display has no usable area "
         "screen=(1920,0 0x1080)"},
        {"only a sliver beside the sidebar", PlacementMode::fill, Rect(0, 0, 190, 1080), 160,
         "place win=5 mode=fill kind=pinned: no room beside the sidebar screen=(0,0 190x1080)"},
        // Room beside the sidebar, but none inside the margins a centred window keeps.
        {"no room inside the margins", PlacementMode::center, Rect(0, 0, 360, 1080), 160,
         "place win=5 mode=center kind=pinned: no room beside the sidebar "
         "screen=(0,0 360x1080)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        h.wm->aliveOffScreen = {WindowID(5)};
        h.wm->frames[WindowID(5)] = Rect(300, 100, 800, 600);
        h.wm->screenArea = ScreenArea{c.visible};
        h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Doc", 0, 5)})});
        auto& model = h.start();
        model.setPlacementMode(c.mode);
        h.forgetHistory();
        model.activate(model.activeSpace()->tabs[0]);
        EXPECT_EQ(h.modelLog("place"), std::vector<std::string>{c.expectedLog});
        EXPECT_TRUE(h.wm->setFrames.empty());
    }
}

TEST(SidebarModelActivationTests, ABoundLiveTabIsActivatedWithoutRefresh) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "Pinned"), makeWindow(2, "b", "Claimed")};
    h.storeSpaces({makeSpace(
        "S", 0,
        {makeTab("a", "Pinned", 0, 1), makeTab("b", "Claimed", 0, 2, {}, h.now.adding(5))})});
    auto& model = h.start(true);
    model.activate(model.pinnedTabs()[0]);
    EXPECT_TRUE(h.store->saves.empty());
    h.now = h.now.adding(100);
    model.activate(model.claimedTabs()[0]);
    EXPECT_EQ(h.wm->activations, (std::vector<WindowID>{WindowID(1), WindowID(2)}));
    EXPECT_EQ(model.activeWindowID(), WindowID(2));
    EXPECT_EQ(h.modelLog("activate"),
              (std::vector<std::string>{"activate tab (bound) app=a win=1 claimed=false",
                                        "activate tab (bound) app=b win=2 claimed=true"}));
    EXPECT_EQ(h.listCalls(), 0u);
    ASSERT_EQ(h.store->saves.size(), 1u);
    EXPECT_EQ(h.store->saves[0].spaces[0].tabs[1].claimExpiresAt, h.now.adding(86400));
}

TEST(SidebarModelActivationTests, AReusedWindowNumberIsNeverBroughtForward) {
    SidebarModelHarness h;
    // Window 1 closed and its number went at once to a window of another application.
    h.wm->onScreen = {makeWindow(1, "z", "Someone else's")};
    h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Mine", 0, 1)})});
    auto& model = h.start(true);
    ASSERT_EQ(model.pinnedTabs()[0].boundWindowID, WindowID(1));  // one miss so far
    model.activate(model.pinnedTabs()[0]);
    EXPECT_TRUE(h.wm->activations.empty());
    EXPECT_TRUE(h.wm->setFrames.empty());
    EXPECT_EQ(h.modelLog("activate tab"),
              (std::vector<std::string>{
                  "activate tab (bound) window number now shows another window app=a win=1",
                  "activate tab FAILED to open app=a"}));
}

TEST(SidebarModelActivationTests, AGoneWindowIsReopenedFromTheDocumentOrANewWindow) {
    struct Case {
        const char* name;
        std::optional<std::string> doc;
        std::optional<WindowID> opened;
        std::optional<WindowID> launched;
        std::vector<std::string> expectedCalls;
        std::string expectedLog;
        std::optional<WindowID> expectedBinding;
    } cases[] = {
        {"document reopened",
         "/d.txt",
         WindowID(9),
         std::nullopt,
         {"openDocument /d.txt a", "activate win#9"},
         "activate tab (reopened) app=a newWin=9 doc=/d.txt",
         WindowID(9)},
        {"document gone: new window",
         "/d.txt",
         std::nullopt,
         WindowID(9),
         {"openDocument /d.txt a", "windows a", "launchOrNewWindow a", "activate win#9"},
         "activate tab (reopened) app=a newWin=9 doc=/d.txt",
         WindowID(9)},
        {"empty path: no document step",
         "",
         std::nullopt,
         WindowID(9),
         {"windows a", "launchOrNewWindow a", "activate win#9"},
         "activate tab (reopened) app=a newWin=9 doc=",
         WindowID(9)},
        {"nothing opens: the stale binding stays",
         std::nullopt,
         std::nullopt,
         std::nullopt,
         {"windows a", "launchOrNewWindow a"},
         "activate tab FAILED to open app=a",
         WindowID(5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Doc", 0, 5, c.doc, later)})});
        h.wm->openResults = {{c.opened, c.opened.has_value()}};
        h.wm->launchResults = {c.launched};
        auto& model = h.start(true);
        h.wm->addWindow(makeWindow(9, "a", "Doc"));
        model.activate(model.activeSpace()->tabs[0]);
        std::vector<std::string> calls;
        for (const auto& call : h.wm->calls) {
            if (call.starts_with("open") || call.starts_with("launch")
                || call.starts_with("windows") || call.starts_with("activate")) {
                calls.push_back(call);
            }
        }
        EXPECT_EQ(calls, c.expectedCalls);
        EXPECT_EQ(h.modelLog("activate tab"), std::vector<std::string>{c.expectedLog});
        const SpaceTab& tab = model.activeSpace()->tabs[0];
        EXPECT_EQ(tab.boundWindowID, c.expectedBinding);
        const bool reopened = c.opened || c.launched;
        EXPECT_EQ(tab.claimExpiresAt, reopened ? h.now.adding(86400) : later);
        EXPECT_EQ(h.listCalls(), reopened ? 1u : 0u);
    }
}

// An application that took the document but shows it nowhere gets no empty window and no offer
// of its other windows; a failure the click met, that one or a new window that never came, is
// told to the user.
TEST(SidebarModelActivationTests, AFailedOpenIsToldAndAHandedOverDocumentGetsNoEmptyWindow) {
    SidebarModelHarness h;
    h.storeSpaces(
        {makeSpace("S", 0, {makeTab("a", "Doc", 0, {}, "/d.txt"), makeTab("a", "Plain", 1)})});
    h.wm->openResults = {{std::nullopt, true}};
    h.wm->appWindows["a"] = {makeWindow(3, "a", "Other")};
    auto& model = h.start(true);
    std::vector<OpenFailure> told;
    model.setOpenFailureReporter([&](const OpenFailure& failure) { told.push_back(failure); });

    model.activate(h.tabTitled("Doc"));
    EXPECT_EQ(h.wm->calls, std::vector<std::string>{"openDocument /d.txt a"});
    EXPECT_TRUE(h.presented.empty());
    EXPECT_EQ(h.modelLog("activate tab"),
              std::vector<std::string>{
                  "activate tab FAILED: no window shows the document app=a doc=/d.txt"});
    EXPECT_EQ(told, (std::vector<OpenFailure>{{h.tabTitled("Doc").app, "/d.txt"}}));

    h.wm->appWindows.clear();
    model.activate(h.tabTitled("Plain"));
    EXPECT_EQ(told.size(), 2u);
    EXPECT_EQ(told.back(), (OpenFailure{h.tabTitled("Plain").app, std::nullopt}));
    EXPECT_EQ(h.tabTitled("Doc").boundWindowID, std::nullopt);
}

// A space whose "Lost" tab has lost window 5; the application has windows 1 (held by the
// sibling "Kept"), 5 (the stale binding, not excluded) and 3.
struct RebindSetup : SidebarModelHarness {
    RebindSetup() {
        // 8 is the window that opens when asked.
        wm->onScreen = {makeWindow(1, "a", "Kept"), makeWindow(3, "a", "Three", "/3"),
                        makeWindow(8, "a", "Next")};
        wm->appWindows["a"] = {makeWindow(1, "a", "Kept"), makeWindow(5, "a", "Stale"),
                               makeWindow(3, "a", "Three", "/3")};
        wm->launchResults = {WindowID(8)};
        storeSpaces(
            {makeSpace("S", 0, {makeTab("a", "Kept", 0, 1), makeTab("a", "", 1, 5, "", later)})});
        start(true);
        lost = model->activeSpace()->tabs[1];
        model->activate(lost);
    }
    std::string space() const { return model->activeSpaceId().string(); }
    const SpaceTab& lostTab() const { return *findTab(); }
    const SpaceTab* findTab() const {
        for (const auto& tab : model->activeSpace()->tabs) {
            if (tab.id == lost.id) {
                return &tab;
            }
        }
        return nullptr;
    }

    SpaceTab lost;
};

TEST(SidebarModelActivationTests, CandidatesGoToThePresenterOneRequestAtATime) {
    RebindSetup h;
    ASSERT_EQ(h.presented.size(), 1u);
    const RebindRequest& request = h.presented[0].request;
    EXPECT_EQ(request.appName(), "a");
    EXPECT_EQ(request.lastTitle(), "a");
    std::vector<WindowID> offered;
    for (const auto& w : request.candidates()) {
        offered.push_back(w.windowID);
    }
    EXPECT_EQ(offered, (std::vector<WindowID>{WindowID(5), WindowID(3)}));
    EXPECT_EQ(h.modelLog("rebind"),
              std::vector<std::string>{"rebind eval app=a candidates=2 space=" + h.space()
                                       + " tab=" + h.lost.id.string()});

    h.model->activate(h.lost);
    h.model->activate(h.model->activeSpace()->tabs[0]);  // bound and alive: not held back
    EXPECT_EQ(h.presented.size(), 1u);
    EXPECT_EQ(h.modelLog("rebind ignored"),
              std::vector<std::string>{"rebind ignored: picker already open app=a"});
    EXPECT_EQ(h.wm->activations, std::vector<WindowID>{WindowID(1)});

    h.presented[0].completion(RebindChoice::pick(WindowID(3)));
    h.presented[0].completion(RebindChoice::cancel());  // a second answer does nothing
    const SpaceTab& tab = h.lostTab();
    EXPECT_EQ(tab.boundWindowID, WindowID(3));
    EXPECT_EQ(tab.lastTitle, "Three");
    EXPECT_EQ(tab.docPath, "/3");
    EXPECT_EQ(tab.claimExpiresAt, h.now.adding(86400));
    EXPECT_EQ(h.modelLog("rebind picked"),
              std::vector<std::string>{"rebind picked win=3 app=a space=" + h.space()});
    EXPECT_TRUE(h.modelLog("rebind cancel").empty());
    EXPECT_EQ(h.wm->activations.back(), WindowID(3));
    EXPECT_EQ(h.store->saves.back().spaces[0].tabs[1].boundWindowID, WindowID(3));
}

struct AnswerCase {
    const char* name;
    std::function<void(RebindSetup&)> answer;
    std::vector<std::string> expectedLog;  // the model's rebind and activate lines after eval
    std::optional<WindowID> expectedBinding;
};

TEST(SidebarModelActivationTests, EachAnswerOfThePicker) {
    const auto answer = [](RebindChoice choice) {
        return [choice](RebindSetup& h) { h.presented[0].completion(choice); };
    };
    const AnswerCase cases[] = {
        {"cancel", answer(RebindChoice::cancel()), {"rebind cancel app=a"}, WindowID(5)},
        {"dropped unanswered",
         [](RebindSetup& h) { h.presented.clear(); },
         {"rebind cancel app=a"},
         WindowID(5)},
        {"open new",
         answer(RebindChoice::openNew()),
         {"activate tab (reopened) app=a newWin=8 doc="},
         WindowID(8)},
        {"open new fails",
         [](RebindSetup& h) {
             h.wm->launchResults.clear();
             h.presented[0].completion(RebindChoice::openNew());
         },
         {"activate tab FAILED to open app=a"},
         WindowID(5)},
        {"picked window closed meanwhile",
         [](RebindSetup& h) {
             h.wm->removeWindow(WindowID(3));
             h.presented[0].completion(RebindChoice::pick(WindowID(3)));
         },
         {"rebind chosen-died -> openNew win=3", "activate tab (reopened) app=a newWin=8 doc="},
         WindowID(8)},
        {"picked window bound by another tab meanwhile",
         [](RebindSetup& h) {
             h.model->pin(makeWindow(3, "a", "Three"));
             h.presented[0].completion(RebindChoice::pick(WindowID(3)));
         },
         {"rebind picked-now-bound-elsewhere -> no-op win=3"},
         std::nullopt},
        {"space deleted meanwhile",
         [](RebindSetup& h) {
             const Uuid gone = h.model->activeSpaceId();
             h.model->createSpace();
             ASSERT_TRUE(h.model->deleteSpace(gone));
             h.presented[0].completion(RebindChoice::pick(WindowID(3)));
         },
         {"rebind commit aborted (tab/space gone) win=3"},
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RebindSetup h;
        h.logs.clear();
        c.answer(h);
        std::vector<std::string> lines;
        for (const auto& line : h.modelLog()) {
            if (line.starts_with("rebind") || line.starts_with("activate")) {
                lines.push_back(line);
            }
        }
        EXPECT_EQ(lines, c.expectedLog);
        if (const SpaceTab* tab = h.findTab()) {
            EXPECT_EQ(tab->boundWindowID, c.expectedBinding);
        } else {
            EXPECT_FALSE(c.expectedBinding);
        }
        // Whatever the answer, the picker is free again.
        h.wm->appWindows["a"].push_back(makeWindow(77, "a", "Probe"));
        const std::size_t before = h.presented.size();
        h.model->activate(makeTab("a", "Probe"));
        EXPECT_EQ(h.presented.size(), before + 1);
    }
}

TEST(SidebarModelActivationTests, WithoutAPresenterANewWindowIsOpenedAtOnce) {
    SidebarModelHarness h;
    h.withPresenter = false;
    h.wm->appWindows["a"] = {makeWindow(3, "a", "Three")};
    h.wm->launchResults = {WindowID(8)};
    h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Lost", 0)})});
    auto& model = h.start(true);
    model.activate(model.activeSpace()->tabs[0]);
    EXPECT_EQ(model.activeSpace()->tabs[0].boundWindowID, WindowID(8));
    EXPECT_TRUE(h.modelLog("rebind").empty());
}

TEST(SidebarModelActivationTests, AnAnswerAfterTheModelIsGoneDoesNothing) {
    RebindSetup h;
    h.model.reset();
    h.wm->calls.clear();
    h.presented[0].completion(RebindChoice::openNew());
    EXPECT_TRUE(h.wm->calls.empty());
}

TEST(SidebarModelActivationTests, AReopenedWindowHeldByASiblingIsNotBoundTwice) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "Doc", "/d")};
    h.wm->openResults = {{WindowID(1), false}};  // the document was open already
    h.storeSpaces(
        {makeSpace("S", 0, {makeTab("a", "Doc", 0, 1, "/d"), makeTab("a", "Copy", 1, {}, "/d")})});
    auto& model = h.start(true);
    model.activate(model.activeSpace()->tabs[1]);
    EXPECT_EQ(model.activeSpace()->tabs[1].boundWindowID, std::nullopt);
    EXPECT_EQ(
        h.modelLog("activate tab"),
        std::vector<std::string>{
            "activate tab (reopened) SKIPPED (already claimed in this Space) app=a newWin=1"});
    EXPECT_EQ(h.wm->activations, std::vector<WindowID>{WindowID(1)});
}

// The window manager runs the main loop while it waits for a window; anything can happen then.
TEST(SidebarModelActivationTests, NestedWaitsSurviveRefreshesDeletionAndRelease) {
    enum class During {
        refresh,
        deleteSpace,
        release
    };
    for (const During during : {During::refresh, During::deleteSpace, During::release}) {
        SCOPED_TRACE(static_cast<int>(during));
        SidebarModelHarness h;
        h.wm->openResults = {{}};
        h.wm->launchResults = {WindowID(9)};
        h.storeSpaces({makeSpace("S", 0, {makeTab("a", "Doc", 0, {}, "/d")}), makeSpace("T", 1)});
        auto& model = h.start(true);
        std::weak_ptr<SidebarModel> weak = h.model;
        const Uuid tabID = model.activeSpace()->tabs[0].id;
        int waits = 0;
        h.wm->duringWait = [&] {
            ++waits;
            h.wm->addWindow(makeWindow(100 + waits, "z", "New"));
            switch (during) {
                case During::refresh:
                    h.wm->emit(WindowChange::changed());
                    h.executor->drain();
                    break;
                case During::deleteSpace:
                    if (waits == 1) {
                        ASSERT_TRUE(weak.lock()->deleteSpace(weak.lock()->activeSpaceId()));
                    }
                    break;
                case During::release:
                    h.model.reset();
                    break;
            }
        };
        model.activate(model.activeSpace()->tabs[0]);
        EXPECT_EQ(waits, 2);
        EXPECT_EQ(h.wm->activations, std::vector<WindowID>{WindowID(9)});
        if (during == During::release) {
            EXPECT_TRUE(weak.expired());
            continue;
        }
        const auto& spaces = h.model->spaces();
        if (during == During::deleteSpace) {
            EXPECT_EQ(spaces.size(), 1u);
            EXPECT_TRUE(spaces[0].tabs.empty());
        } else {
            EXPECT_EQ(spaces[0].tabs[0].id, tabID);
            EXPECT_EQ(spaces[0].tabs[0].boundWindowID, WindowID(9));
        }
    }
}

TEST(SidebarModelActivationTests, ReleasingTheModelInsideAnAnswersWait) {
    RebindSetup h;
    std::weak_ptr<SidebarModel> weak = h.model;
    h.wm->duringWait = [&] { h.model.reset(); };
    h.presented[0].completion(RebindChoice::openNew());
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(h.wm->activations.back(), WindowID(8));
}

}  // namespace
}  // namespace vorn
