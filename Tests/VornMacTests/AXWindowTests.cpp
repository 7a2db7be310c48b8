#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "AXWindow.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using platform::Value;

class AXWindowTest : public ::testing::Test {
protected:
    AXWindowTest() {
        world.addApp(10, "org.example.editor", "Editor");
        world.addWindow(1, 10, Rect(10, 20, 800, 600), "Notes");
    }

    AXWindow window(std::uint32_t number = 1) {
        return AXWindow(world.context, world.windowElement(number), 10);
    }
    platform::sim::SimWindow& sim(std::uint32_t number = 1) {
        return *world.desktop.window(number);
    }

    test::SimulatedWorld world;
};

TEST_F(AXWindowTest, TitleIsANonEmptyString) {
    EXPECT_EQ(window().title(), "Notes");
    sim().title = "";
    EXPECT_FALSE(window().title());
    sim().attributeOverrides["AXTitle"] = Value::integer(3);
    EXPECT_FALSE(window().title());
    sim().attributeOverrides.clear();
    sim().failingAttributes.insert("AXTitle");
    EXPECT_FALSE(window().title());
}

TEST_F(AXWindowTest, DocumentPathPrefersTheDocumentThenTheURL) {
    struct Case {
        const char* name;
        std::optional<std::string> document;
        std::optional<Value> url;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"document", "/Users/a/notes.txt", Value::url("file:///other"), "/Users/a/notes.txt"},
        {"only a file URL", std::nullopt, Value::url("file:///tmp/b.txt"), "file:///tmp/b.txt"},
        {"empty document", "", Value::url("file:///tmp/b.txt"), "file:///tmp/b.txt"},
        {"URL as text", std::nullopt, Value::string("https://example.org/x"),
         "https://example.org/x"},
        {"empty URL text", std::nullopt, Value::string(""), std::nullopt},
        {"URL of another kind", std::nullopt, Value::integer(1), std::nullopt},
        {"nothing", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim().document = c.document;
        sim().url = c.url;
        EXPECT_EQ(window().documentPath(), c.expected);
    }
}

TEST_F(AXWindowTest, MinimisedOnlyWhenItReadsAsTrue) {
    EXPECT_FALSE(window().isMinimized());
    sim().minimized = true;
    EXPECT_TRUE(window().isMinimized());
    sim().attributeOverrides["AXMinimized"] = Value::integer(1);
    EXPECT_FALSE(window().isMinimized());
    sim().attributeOverrides.clear();
    world.desktop.application(10)->responsive = false;
    EXPECT_FALSE(window().isMinimized());
}

TEST_F(AXWindowTest, FrameNeedsAPointAndASizeThatArePlausible) {
    EXPECT_EQ(window().frame(), Rect(10, 20, 800, 600));
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<const char*, std::pair<std::string, Value>>> spoiled = {
        {"position as a size", {"AXPosition", Value::size({1, 2})}},
        {"size as a point", {"AXSize", Value::point({1, 2})}},
        {"position as a dictionary", {"AXPosition", Value::dictionary({{"x", Value::integer(1)}})}},
        {"not a number", {"AXPosition", Value::point({nan, 0})}},
        {"infinite", {"AXSize", Value::size({inf, 100})}},
        {"absurd", {"AXPosition", Value::point({0, 1e12})}},
    };
    for (const auto& [name, override] : spoiled) {
        SCOPED_TRACE(name);
        sim().attributeOverrides = {{override.first, override.second}};
        EXPECT_FALSE(window().frame());
    }
    sim().attributeOverrides.clear();
    sim().failingAttributes.insert("AXSize");
    EXPECT_FALSE(window().frame());
}

TEST_F(AXWindowTest, WindowsOfAProcessFollowItsOwnOrder) {
    world.addWindow(2, 10, Rect(0, 0, 300, 300));
    world.addWindow(3, 10, Rect(0, 0, 300, 300)).accessible = false;
    world.addApp(20, "org.example.viewer", "Viewer");
    world.addWindow(4, 20, Rect(0, 0, 300, 300));

    std::vector<std::uint32_t> numbers;
    for (const AXWindow& w : AXWindow::windows(world.context, 10)) {
        EXPECT_EQ(w.pid(), 10);
        numbers.push_back(*world.privateCalls.windowNumber(w.element()));
    }
    EXPECT_EQ(numbers, (std::vector<std::uint32_t>{2, 1}));
    EXPECT_TRUE(AXWindow::windows(world.context, 999).empty());

    // One element of another kind makes the whole list unusable.
    world.desktop.application(10)->attributeOverrides["AXWindows"] =
        Value::array({Value::element(world.windowElement(1)), Value::string("x")});
    EXPECT_TRUE(AXWindow::windows(world.context, 10).empty());
    world.desktop.application(10)->attributeOverrides["AXWindows"] = Value::string("x");
    EXPECT_TRUE(AXWindow::windows(world.context, 10).empty());
}

TEST_F(AXWindowTest, RaisingAWindowThatIsNotMinimisedOnlyRaisesIt) {
    world.desktop.clearCalls();
    window().raiseAfterFront();
    EXPECT_EQ(world.desktop.callsStartingWith("ax.set"), std::vector<std::string>{});
    EXPECT_EQ(world.desktop.callsStartingWith("ax.action"),
              std::vector<std::string>{"ax.action win#1 AXRaise"});
    EXPECT_TRUE(world.desktop.frontCalls.empty());
}

TEST_F(AXWindowTest, RaisingAMinimisedWindowRestoresAndFrontsItFirst) {
    world.addWindow(2, 10, Rect(0, 0, 300, 300));
    sim().minimized = true;
    window().raiseAfterFront();
    EXPECT_FALSE(sim().minimized);
    ASSERT_EQ(world.desktop.frontCalls.size(), 1u);
    EXPECT_EQ(world.desktop.frontCalls[0].windowID, 1u);
    EXPECT_EQ(world.desktop.postedRecords.size(), 2u);
    EXPECT_EQ(world.desktop.calls().back(), "ax.action win#1 AXRaise");
    EXPECT_EQ(world.desktop.stackingOrder().front(), 1u);
}

TEST_F(AXWindowTest, WithoutTheWindowNumberARestoredWindowIsOnlyRaised) {
    world.desktop.missingEntryPoints.insert("_AXUIElementGetWindow");
    sim().minimized = true;
    window().raiseAfterFront();
    EXPECT_FALSE(sim().minimized);
    EXPECT_TRUE(world.desktop.frontCalls.empty());
    EXPECT_EQ(world.desktop.calls().back(), "ax.action win#1 AXRaise");
}

}  // namespace
}  // namespace vorn
