#include <gtest/gtest.h>

#include "MacWindowManagerFixture.h"

namespace vorn {
namespace {

using platform::sim::MoveBehaviour;

class MacWindowManagerActivationTest : public test::MacWindowManagerTest {
protected:
    MacWindowManagerActivationTest() {
        world.addWindow(5, editor, Rect(100, 100, 800, 600), "Notes");
        world.addWindow(6, viewer, Rect(0, 0, 800, 600), "Photo");
    }

    // What activation and frame setting did to the desktop, without the reads.
    std::vector<std::string> effects() {
        std::vector<std::string> found;
        for (const std::string& call : world.desktop.calls()) {
            if (call.starts_with("ax.set") || call.starts_with("ax.action")
                || call.starts_with("ws.activate") || call.starts_with("_SLPS")
                || call.starts_with("SLPS")) {
                found.push_back(call);
            }
        }
        return found;
    }
};

TEST_F(MacWindowManagerActivationTest, FocusCallsFrontTheWindowThenRaiseIt) {
    (void)manager().listWindows();
    world.desktop.clearCalls();
    manager().activate(WindowID(5));

    EXPECT_EQ(effects(), (std::vector<std::string>{
                             "_SLPSSetFrontProcessWithOptions psn=0:10 win#5 options=0x200",
                             "SLPSPostEventRecordTo psn=0:10 byte8=1",
                             "SLPSPostEventRecordTo psn=0:10 byte8=2",
                             "ax.action win#5 AXRaise",
                         }));
    EXPECT_TRUE(logs.contains("windowmanager", "activate win=5 plan=skyLightFront pid=10"));
    EXPECT_EQ(world.desktop.frontmostApplication(), editor);
    EXPECT_EQ(world.desktop.stackingOrder().front(), 5u);
    // The listing taught the manager the owner: no window list was asked for.
    EXPECT_EQ(world.desktop.countCalls("windowList"), 0u);
}

TEST_F(MacWindowManagerActivationTest, FallbackRestoresRaisesAndActivatesTheApplication) {
    struct Case {
        const char* name;
        bool missingFocusCalls;
        std::int32_t frontingStatus;
        const char* plan;
        std::vector<std::string> frontAttempt;
    };
    const std::vector<Case> cases = {
        {"focus calls missing", true, 0, "fallback", {}},
        {"fronting refused",
         false,
         -600,
         "skyLightFront",
         {"_SLPSSetFrontProcessWithOptions psn=0:10 win#5 options=0x200"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::SimulatedWorld fresh;
        fresh.addApp(editor, "org.example.editor", "Editor");
        fresh.addWindow(5, editor, Rect(100, 100, 800, 600)).minimized = true;
        fresh.addWindow(6, editor, Rect(0, 0, 800, 600));
        if (c.missingFocusCalls) {
            fresh.desktop.missingEntryPoints.insert("SLPSPostEventRecordTo");
        }
        fresh.desktop.frontingStatus = c.frontingStatus;
        logs.clear();
        auto manager = MacWindowManager::create(fresh.context, 1);
        manager->activate(WindowID(5));

        std::vector<std::string> expected = c.frontAttempt;
        for (const char* step :
             {"ax.set win#5 AXMinimized=false", "ax.action win#5 AXRaise", "ws.activate 10"}) {
            expected.emplace_back(step);
        }
        std::vector<std::string> found;
        for (const std::string& call : fresh.desktop.calls()) {
            if (call.starts_with("ax.set") || call.starts_with("ax.action")
                || call.starts_with("ws.activate") || call.starts_with("_SLPS")) {
                found.push_back(call);
            }
        }
        EXPECT_EQ(found, expected);
        EXPECT_TRUE(logs.contains("windowmanager",
                                  std::string("activate win=5 plan=") + c.plan + " pid=10"));
        EXPECT_FALSE(fresh.desktop.window(5)->minimized);
        EXPECT_EQ(fresh.desktop.stackingOrder().front(), 5u);
    }
}

TEST_F(MacWindowManagerActivationTest, AnUnknownWindowIsLoggedWithoutAProcessAndLeftAlone) {
    world.desktop.clearCalls();
    manager().activate(WindowID(77));
    EXPECT_TRUE(logs.contains("windowmanager", "activate win=77 plan=fallback pid=-1"));
    EXPECT_EQ(effects(), std::vector<std::string>{});
}

TEST_F(MacWindowManagerActivationTest, AWindowHiddenFromAccessibilityIsStillFronted) {
    sim(5).accessible = false;
    (void)manager().listWindows();
    world.desktop.clearCalls();
    manager().activate(WindowID(5));
    EXPECT_TRUE(logs.contains("windowmanager", "activate win=5 plan=skyLightFront pid=10"));
    EXPECT_EQ(world.desktop.frontCalls.size(), 1u);
    EXPECT_EQ(world.desktop.countCalls("ax.action"), 0u);
}

TEST_F(MacWindowManagerActivationTest, SetFrameConvertsToTopLeftCoordinates) {
    world.desktop.clearCalls();
    manager().setFrame(WindowID(5), Rect(100, 200, 800, 600));
    EXPECT_EQ(world.desktop.callsStartingWith("ax.set win#5 AXPosition").front(),
              "ax.set win#5 AXPosition=(100,280)");
    EXPECT_EQ(sim(5).frame, Rect(100, 280, 800, 600));
}

TEST_F(MacWindowManagerActivationTest, SetFrameConvergesStallsOrGivesUp) {
    struct Case {
        const char* name;
        MoveBehaviour move;
        Rect stopFrame;
        const char* outcome;
    };
    const std::vector<Case> cases = {
        {"moves", MoveBehaviour::immediate, {}, "attempts=1 outcome=converged"},
        {"stops short", MoveBehaviour::partway, Rect(50, 50, 700, 500),
         "attempts=2 outcome=stalled"},
        {"ignores every write", MoveBehaviour::never, {}, "attempts=4 outcome=keepGoing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim(5).frame = Rect(100, 100, 800, 600);
        sim(5).move = c.move;
        sim(5).stopFrame = c.stopFrame;
        logs.clear();
        manager().setFrame(WindowID(5), Rect(0, 0, 1000, 700));
        ASSERT_EQ(logs.messages("axwindow").size(), 1u);
        EXPECT_EQ(logs.messages("axwindow").front(),
                  std::string("setFrame win=5 enhancedUI=unsupported toggled=false ") + c.outcome);
    }

    // A window that is gone is not written to at all.
    world.desktop.closeWindow(5);
    world.desktop.clearCalls();
    manager().setFrame(WindowID(5), Rect(0, 0, 1000, 700));
    EXPECT_EQ(effects(), std::vector<std::string>{});
}

TEST_F(MacWindowManagerActivationTest, AReusedWindowNumberOfAnotherApplicationIsGone) {
    ASSERT_EQ(listedNumbers(), (std::vector<std::uint32_t>{6, 5}));
    // The editor's window closes and the viewer's next window gets its number at once.
    world.desktop.closeWindow(5);
    world.addWindow(5, viewer, Rect(300, 300, 800, 600), "Someone else's");
    world.desktop.clearCalls();

    EXPECT_FALSE(manager().isAlive(WindowID(5)));
    EXPECT_EQ(manager().frame(WindowID(5)), std::nullopt);
    manager().activate(WindowID(5));
    manager().setFrame(WindowID(5), Rect(0, 0, 500, 500));
    EXPECT_EQ(effects(), std::vector<std::string>{});
    EXPECT_EQ(sim(5).frame, Rect(300, 300, 800, 600));
    EXPECT_TRUE(logs.contains("windowmanager", "activate win=5 plan=fallback pid=-1"));
    EXPECT_GE(logs.count("windowmanager", "window number reused, treated as gone win=5"), 1u);

    // Once a listing has handed the number out as the viewer's, it is that window.
    (void)manager().listWindows();
    EXPECT_TRUE(manager().isAlive(WindowID(5)));
    manager().activate(WindowID(5));
    EXPECT_EQ(world.desktop.frontCalls.back().psn.low, static_cast<std::uint32_t>(viewer));
}

TEST_F(MacWindowManagerActivationTest, AReusedProcessNumberIsAnotherOwnerToo) {
    (void)manager().listWindows();
    // The editor quits; a different application starts under its process number and its first
    // window gets the editor's old window number.
    world.desktop.terminateApplication(editor);
    world.desktop.addApplication({.pid = editor, .bundleId = "org.example.other", .name = "Other"});
    world.addWindow(5, editor, Rect(0, 0, 800, 600));
    world.desktop.clearCalls();

    EXPECT_FALSE(manager().isAlive(WindowID(5)));
    manager().activate(WindowID(5));
    manager().setFrame(WindowID(5), Rect(0, 0, 500, 500));
    EXPECT_EQ(effects(), std::vector<std::string>{});
}

TEST_F(MacWindowManagerActivationTest, WithoutWindowNumbersTheWindowServerStillVouchesForOwners) {
    world.desktop.missingEntryPoints.insert("_AXUIElementGetWindow");
    (void)manager().listWindows();
    world.desktop.clearCalls();
    manager().setFrame(WindowID(5), Rect(0, 0, 500, 500));
    EXPECT_EQ(sim(5).frame, Rect(0, 580, 500, 500));

    world.desktop.closeWindow(5);
    world.addWindow(5, viewer, Rect(300, 300, 800, 600));
    world.desktop.clearCalls();
    manager().setFrame(WindowID(5), Rect(0, 0, 500, 500));
    manager().activate(WindowID(5));
    EXPECT_EQ(effects(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vorn
