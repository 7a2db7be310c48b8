#include <cmath>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "DisplayUtil.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using platform::Value;
using platform::sim::DisplayListAnswer;

class DisplayUtilTest : public ::testing::Test {
protected:
    DisplayUtilTest() {
        world.desktop.addDisplay({.id = 7, .bounds = Rect(1920, 0, 1280, 1024), .name = "Side"});
    }

    std::vector<std::uint32_t> active() {
        return DisplayUtil::activeDisplayIDs(world.services.windowServer);
    }

    test::SimulatedWorld world;
};

TEST_F(DisplayUtilTest, ActiveDisplaysComeInTheServersOrder) {
    EXPECT_EQ(active(), (std::vector<std::uint32_t>{1, 7}));
    EXPECT_EQ(world.desktop.callsStartingWith("displayList"),
              (std::vector<std::string>{"displayList capacity=0", "displayList capacity=2"}));
}

TEST_F(DisplayUtilTest, ScriptedDisplayListAnswers) {
    struct Case {
        const char* name;
        std::deque<DisplayListAnswer> answers;
        std::vector<std::uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"shorter on the second query", {{0, {1, 7}}, {0, {7}}}, {7}},
        {"longer on the second query", {{0, {1}}, {0, {1, 7}}}, {1}},
        {"gone on the second query", {{0, {1, 7}}, {0, {}}}, {}},
        {"no displays", {{0, {}}}, {}},
        {"counting fails", {{-1, {}}}, {}},
        {"listing fails", {{0, {1, 7}}, {-1, {}}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world.desktop.displayListAnswers = c.answers;
        EXPECT_EQ(active(), c.expected);
        world.desktop.displayListAnswers.clear();
    }
}

TEST_F(DisplayUtilTest, AnAbsurdDisplayCountIsRefusedWithALogLine) {
    test::CapturingLogSink logs;
    world.desktop.displayListAnswers = {{0, std::vector<std::uint32_t>(5000, 3)}};
    EXPECT_TRUE(active().empty());
    EXPECT_EQ(world.desktop.countCalls("displayList"), 1u);
    EXPECT_TRUE(logs.contains("windowmanager", "display list ignored: absurd count=5000"));
}

TEST_F(DisplayUtilTest, ScreenOfADisplayNumber) {
    auto& screens = world.services.screens;
    auto side = DisplayUtil::nsScreen(screens, 7);
    ASSERT_TRUE(side);
    EXPECT_EQ(side->localizedName, "Side");
    EXPECT_FALSE(DisplayUtil::nsScreen(screens, 99));

    // Screens without a usable number are passed over, and so is absurd geometry.
    world.desktop.display(1)->deviceDescription = Value::dictionary({});
    EXPECT_FALSE(DisplayUtil::nsScreen(screens, 1));
    world.desktop.display(1)->deviceDescription =
        Value::dictionary({{"NSScreenNumber", Value::string("1")}});
    EXPECT_FALSE(DisplayUtil::nsScreen(screens, 1));
    world.desktop.display(7)->bounds = Rect(1920, 0, std::nan(""), 1024);
    EXPECT_FALSE(DisplayUtil::nsScreen(screens, 7));

    world.desktop.removeDisplay(1);
    world.desktop.removeDisplay(7);
    EXPECT_FALSE(DisplayUtil::nsScreen(screens, 1));
}

TEST_F(DisplayUtilTest, TheFirstScreenWithTheNumberWins) {
    world.desktop.display(7)->deviceDescription =
        Value::dictionary({{"NSScreenNumber", Value::real(1.0)}});
    auto screen = DisplayUtil::nsScreen(world.services.screens, 1);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->localizedName, "Built-in");
    EXPECT_EQ(DisplayUtil::displayNumber(world.services.screens.screens()[1]), 1u);
}

}  // namespace
}  // namespace vorn
