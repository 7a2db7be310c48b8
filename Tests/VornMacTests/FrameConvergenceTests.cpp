#include <cmath>

#include <gtest/gtest.h>

#include "AXWindow.h"
#include "CapturingLogSink.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using namespace std::chrono_literals;
using platform::Duration;
using platform::sim::MoveBehaviour;

const Rect original(0, 0, 500, 400);
const Rect target(100, 50, 800, 600);

class FrameConvergenceTest : public ::testing::Test {
protected:
    FrameConvergenceTest() {
        world.addApp(10, "org.example.editor", "Editor");
        world.addWindow(1, 10, original);
    }

    void setFrame(const Rect& frame = target) {
        AXWindow(world.context, world.windowElement(1), 10).setFrame(frame);
    }
    platform::sim::SimWindow& sim() { return *world.desktop.window(1); }
    std::vector<std::string> setFrameLines() { return logs.messages("axwindow"); }

    test::CapturingLogSink logs;
    test::SimulatedWorld world;
};

TEST_F(FrameConvergenceTest, EachOutcomeWithItsAttemptsAndPauses) {
    struct Case {
        const char* name;
        MoveBehaviour move;
        Duration lateBy;
        Rect stopFrame;
        Size minimumSize;
        int attempts;
        const char* outcome;
        std::vector<Duration> sleeps;
    };
    const std::vector<Case> cases = {
        {"at once", MoveBehaviour::immediate, {}, {}, {}, 1, "converged", {}},
        {"a little late", MoveBehaviour::late, 10ms, {}, {}, 2, "converged", {24ms}},
        {"too late", MoveBehaviour::late, 100ms, {}, {}, 4, "keepGoing", {24ms, 24ms, 24ms}},
        {"never", MoveBehaviour::never, {}, {}, {}, 4, "keepGoing", {24ms, 24ms, 24ms}},
        {"part-way", MoveBehaviour::partway, {}, Rect(50, 20, 700, 500), {}, 2, "stalled", {24ms}},
        {"clamped", MoveBehaviour::clamped, {}, {}, Size{900, 700}, 2, "stalled", {24ms}},
        {"within 2.0 in each value",
         MoveBehaviour::partway,
         {},
         Rect(102, 48, 798, 602),
         {},
         1,
         "converged",
         {}},
        {"2.01 off in one value",
         MoveBehaviour::partway,
         {},
         Rect(102.01, 50, 800, 600),
         {},
         2,
         "stalled",
         {24ms}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::CapturingLogSink caseLogs;
        test::SimulatedWorld w;
        w.addApp(10, "org.example.editor", "Editor");
        auto& simWindow = w.addWindow(1, 10, original);
        simWindow.move = c.move;
        simWindow.lateBy = c.lateBy;
        simWindow.stopFrame = c.stopFrame;
        simWindow.minimumSize = c.minimumSize;

        AXWindow(w.context, w.windowElement(1), 10).setFrame(target);

        EXPECT_EQ(caseLogs.messages("axwindow"),
                  std::vector<std::string>{"setFrame win=1 enhancedUI=unsupported toggled=false "
                                           "attempts="
                                           + std::to_string(c.attempts) + " outcome=" + c.outcome});
        EXPECT_EQ(w.runLoop().sleeps(), c.sleeps);
        // One burst before converging and one after each pause.
        EXPECT_EQ(w.desktop.countCalls("ax.set win#1 AXPosition"), c.sleeps.size() + 1);
    }
}

TEST_F(FrameConvergenceTest, StepsHappenInOrderAroundTheEnhancedInterfaceSwitch) {
    world.desktop.application(10)->enhancedUserInterface = true;
    world.privateCalls.preloadFocusFrameworks();
    world.desktop.clearCalls();
    setFrame();
    EXPECT_EQ(world.desktop.calls(), (std::vector<std::string>{
                                         "ax.copy app:10 AXEnhancedUserInterface",
                                         "ws.voiceOver",
                                         "ax.set app:10 AXEnhancedUserInterface=false",
                                         "ax.copy win#1 AXPosition",
                                         "ax.copy win#1 AXSize",
                                         "ax.set win#1 AXSize=(800x600)",
                                         "ax.set win#1 AXPosition=(100,50)",
                                         "ax.set win#1 AXSize=(800x600)",
                                         "ax.copy win#1 AXPosition",
                                         "ax.copy win#1 AXSize",
                                         "_AXUIElementGetWindow win#1",
                                         "ax.set app:10 AXEnhancedUserInterface=true",
                                     }));
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame win=1 enhancedUI=true "
                                                        "toggled=true attempts=1 "
                                                        "outcome=converged"});
    EXPECT_EQ(world.desktop.application(10)->enhancedUserInterface, true);
}

TEST_F(FrameConvergenceTest, AnimationsOffShortenThePauseAndVoiceOverKeepsThemOn) {
    world.desktop.application(10)->enhancedUserInterface = true;
    sim().move = MoveBehaviour::never;
    setFrame();
    EXPECT_EQ(world.runLoop().sleeps(), (std::vector<Duration>{6ms, 6ms, 6ms}));

    test::SimulatedWorld voiceOver;
    voiceOver.addApp(10, "org.example.editor", "Editor").enhancedUserInterface = true;
    voiceOver.addWindow(1, 10, original).move = MoveBehaviour::never;
    voiceOver.desktop.voiceOver = true;
    logs.clear();
    AXWindow(voiceOver.context, voiceOver.windowElement(1), 10).setFrame(target);
    EXPECT_EQ(voiceOver.runLoop().sleeps(), (std::vector<Duration>{24ms, 24ms, 24ms}));
    EXPECT_EQ(voiceOver.desktop.countCalls("ax.set app:10"), 0u);
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame win=1 enhancedUI=true "
                                                        "toggled=false attempts=4 "
                                                        "outcome=keepGoing"});
}

TEST_F(FrameConvergenceTest, AnUnreadableFrameGetsOneBurstAndNoVerdict) {
    sim().failingAttributes.insert("AXSize");
    world.desktop.application(10)->enhancedUserInterface = false;
    setFrame();
    EXPECT_EQ(world.desktop.countCalls("ax.set win#1"), 3u);
    EXPECT_TRUE(world.runLoop().sleeps().empty());
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame win=1 enhancedUI=false "
                                                        "toggled=false attempts=1 "
                                                        "outcome=keepGoing"});
}

TEST_F(FrameConvergenceTest, ASlowApplicationRunsOutOfTime) {
    // Every request takes 30 ms: a reading costs 60 and a burst 90, so the budget of 150 ms is
    // spent after the first pause.
    world.desktop.application(10)->responseTime = 30ms;
    sim().move = MoveBehaviour::never;
    setFrame();
    EXPECT_EQ(world.runLoop().sleeps(), std::vector<Duration>{24ms});
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame win=1 enhancedUI=unsupported "
                                                        "toggled=false attempts=2 "
                                                        "outcome=keepGoing"});
}

TEST_F(FrameConvergenceTest, AnUnresponsiveApplicationCostsOneTimeoutPerRequestAndNoPause) {
    auto& accessibility = world.services.accessibility;
    ASSERT_EQ(accessibility.setMessagingTimeout(accessibility.systemWideElement(), 1.0),
              platform::AXStatus::success);
    world.desktop.application(10)->responsive = false;
    const auto start = world.runLoop().now();
    setFrame();
    // The switch read, the position read and the three writes of one burst.
    EXPECT_EQ(world.runLoop().now() - start, 5s);
    EXPECT_TRUE(world.runLoop().sleeps().empty());
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame win=1 enhancedUI=unsupported "
                                                        "toggled=false attempts=1 "
                                                        "outcome=keepGoing"});
}

TEST_F(FrameConvergenceTest, WithoutTheWindowNumberTheLogShowsZero) {
    world.desktop.missingEntryPoints.insert("_AXUIElementGetWindow");
    setFrame();
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame win=0 enhancedUI=unsupported "
                                                        "toggled=false attempts=1 "
                                                        "outcome=converged"});
}

TEST_F(FrameConvergenceTest, AnImplausibleTargetIsRefusedBeforeAnythingIsWritten) {
    world.desktop.clearCalls();
    setFrame(Rect(std::nan(""), 0, 800, 600));
    EXPECT_EQ(world.desktop.countCalls("ax.set"), 0u);
    EXPECT_EQ(sim().frame, original);
    EXPECT_EQ(setFrameLines(), std::vector<std::string>{"setFrame refused: frame not plausible "
                                                        "win=1"});
}

TEST(FrameToleranceTest, ValuesThatAreNotNumbersAreNeverWithinTolerance) {
    const double nan = std::nan("");
    EXPECT_TRUE(FrameConvergence::within(Rect(0, 0, 10, 10), Rect(2, -2, 12, 8)));
    EXPECT_FALSE(FrameConvergence::within(Rect(nan, 0, 10, 10), Rect(nan, 0, 10, 10)));
    // Compared as extents: a negative width spans the same edges as its mirror.
    EXPECT_TRUE(FrameConvergence::within(Rect(10, 0, -10, 10), Rect(0, 0, 10, 10)));
}

TEST(FrameConvergenceLoopTest, NoOriginalFrameMeansNoVerdictWithoutReading) {
    platform::sim::SimulatedClock clock;
    platform::sim::SimulatedRunLoop loop(clock);
    int readings = 0;
    const auto result = FrameConvergence::converge(
        target, std::nullopt, true, loop,
        [&] {
            ++readings;
            return std::optional<Rect>(target);
        },
        [] {});
    EXPECT_EQ(result, (FrameConvergence::Result{1, FrameStep::keepGoing}));
    EXPECT_EQ(readings, 0);
}

}  // namespace
}  // namespace vorn
