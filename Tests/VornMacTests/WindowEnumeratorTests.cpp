#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "SimulatedWorld.h"
#include "WindowEnumerator.h"

namespace vorn {
namespace {

using platform::Value;

constexpr std::int32_t ownPID = platform::sim::SimulatedDesktop::ownPIDDefault;

Value bounds(double x, double y, double width, double height) {
    return Value::dictionary({{"X", Value::real(x)},
                              {"Y", Value::real(y)},
                              {"Width", Value::real(width)},
                              {"Height", Value::real(height)}});
}

// An ordinary window entry; the changes replace or remove (null value) single keys.
Value entry(std::int64_t number, const Value::Dictionary& changes = {}) {
    Value::Dictionary fields{
        {"kCGWindowNumber", Value::integer(number)},
        {"kCGWindowOwnerPID", Value::integer(10)},
        {"kCGWindowOwnerName", Value::string("Editor")},
        {"kCGWindowLayer", Value::integer(0)},
        {"kCGWindowAlpha", Value::real(1.0)},
        {"kCGWindowBounds", bounds(0, 25, 800, 600)},
    };
    for (const auto& [key, value] : changes) {
        if (value.isNull()) {
            fields.erase(key);
        } else {
            fields[key] = value;
        }
    }
    return Value::dictionary(std::move(fields));
}

class WindowEnumeratorTest : public ::testing::Test {
protected:
    // Serves the list as given, whatever was asked.
    void serve(std::optional<Value> list) {
        world.desktop.windowListHook = [list](std::uint32_t, Value) { return list; };
    }

    platform::WindowServer& server() { return world.services.windowServer; }

    test::SimulatedWorld world;
};

TEST_F(WindowEnumeratorTest, EntriesPassOnlyTheOrdinaryWindowTests) {
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        Value::Dictionary changes;
        bool listed;
    };
    const std::vector<Case> cases = {
        {"ordinary", {}, true},
        {"layer 3", {{"kCGWindowLayer", Value::integer(3)}}, false},
        {"layer -1", {{"kCGWindowLayer", Value::integer(-1)}}, false},
        {"layer missing", {{"kCGWindowLayer", Value()}}, false},
        {"layer as text", {{"kCGWindowLayer", Value::string("0")}}, false},
        {"layer as a whole real", {{"kCGWindowLayer", Value::real(0.0)}}, true},
        {"own process", {{"kCGWindowOwnerPID", Value::integer(ownPID)}}, false},
        {"owner missing", {{"kCGWindowOwnerPID", Value()}}, false},
        {"owner beyond 32 bits", {{"kCGWindowOwnerPID", Value::integer(2147483648LL)}}, false},
        {"number missing", {{"kCGWindowNumber", Value()}}, false},
        {"negative number", {{"kCGWindowNumber", Value::integer(-1)}}, false},
        {"bounds missing", {{"kCGWindowBounds", Value()}}, false},
        {"bounds not a dictionary", {{"kCGWindowBounds", Value::string("0 0 800 600")}}, false},
        {"bounds without a height",
         {{"kCGWindowBounds",
           Value::dictionary(
               {{"X", Value::real(0)}, {"Y", Value::real(0)}, {"Width", Value::real(800)}})}},
         false},
        {"39.9 wide", {{"kCGWindowBounds", bounds(0, 0, 39.9, 300)}}, false},
        {"39.9 high", {{"kCGWindowBounds", bounds(0, 0, 300, 39.9)}}, false},
        {"exactly 40 x 40", {{"kCGWindowBounds", bounds(0, 0, 40, 40)}}, true},
        {"width not a number", {{"kCGWindowBounds", bounds(0, 0, nan, 300)}}, false},
        {"infinite origin", {{"kCGWindowBounds", bounds(-inf, 0, 300, 300)}}, false},
        {"absurd origin", {{"kCGWindowBounds", bounds(1e300, 0, 300, 300)}}, false},
        {"alpha 0.049", {{"kCGWindowAlpha", Value::real(0.049)}}, false},
        {"alpha 0.05", {{"kCGWindowAlpha", Value::real(0.05)}}, true},
        {"alpha 0", {{"kCGWindowAlpha", Value::integer(0)}}, false},
        {"alpha missing", {{"kCGWindowAlpha", Value()}}, true},
        {"alpha as text", {{"kCGWindowAlpha", Value::string("0")}}, true},
        {"owner name missing", {{"kCGWindowOwnerName", Value()}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        serve(Value::array({entry(5, c.changes)}));
        auto windows = WindowEnumerator::currentScreenWindows(server(), ownPID);
        ASSERT_TRUE(windows);
        EXPECT_EQ(windows->size(), c.listed ? 1u : 0u);
    }
}

TEST_F(WindowEnumeratorTest, ListedWindowsKeepTheServersOrderAndTheirFields) {
    serve(Value::array({
        entry(9, {{"kCGWindowOwnerPID", Value::integer(20)},
                  {"kCGWindowOwnerName", Value()},
                  {"kCGWindowBounds", bounds(10, 20, 40, 40)}}),
        entry(3, {{"kCGWindowLayer", Value::integer(25)}}),
        entry(4, {{"kCGWindowOwnerName", Value::integer(7)}}),
        entry(7),
    }));
    auto windows = WindowEnumerator::currentScreenWindows(server(), ownPID);
    ASSERT_TRUE(windows);
    EXPECT_EQ(*windows, (std::vector<EnumeratedWindow>{
                            {9, 20, "", Rect(10, 20, 40, 40)},
                            {4, 10, "", Rect(0, 25, 800, 600)},
                            {7, 10, "Editor", Rect(0, 25, 800, 600)},
                        }));
}

TEST_F(WindowEnumeratorTest, AnUnusableListGivesNoAnswerAndAnEmptyOneAnEmptyAnswer) {
    struct Case {
        const char* name;
        std::optional<Value> list;
    };
    const std::vector<Case> unusable = {
        {"no list", std::nullopt},
        {"not an array", Value::dictionary({{"kCGWindowNumber", Value::integer(5)}})},
        {"an entry that is not a dictionary", Value::array({entry(5), Value::integer(6)})},
    };
    for (const auto& c : unusable) {
        SCOPED_TRACE(c.name);
        serve(c.list);
        EXPECT_FALSE(WindowEnumerator::currentScreenWindows(server(), ownPID));
        EXPECT_FALSE(WindowEnumerator::allWindowIDs(server()));
        EXPECT_FALSE(WindowEnumerator::ownerPID(server(), 5));
    }

    serve(Value::array({}));
    EXPECT_EQ(WindowEnumerator::currentScreenWindows(server(), ownPID),
              std::vector<EnumeratedWindow>{});
    EXPECT_EQ(WindowEnumerator::allWindowIDs(server()), std::set<std::uint32_t>{});
    EXPECT_FALSE(WindowEnumerator::ownerPID(server(), 5));
}

TEST_F(WindowEnumeratorTest, TheFirstEntryWithTheNumberDecidesTheOwner) {
    serve(Value::array({
        entry(5, {{"kCGWindowOwnerPID", Value()}}),
        entry(5, {{"kCGWindowOwnerPID", Value::integer(30)}}),
        entry(6, {{"kCGWindowOwnerPID", Value::integer(31)}}),
        entry(6, {{"kCGWindowOwnerPID", Value::integer(32)}}),
        entry(8, {{"kCGWindowOwnerPID", Value::string("33")}}),
    }));
    EXPECT_FALSE(WindowEnumerator::ownerPID(server(), 5));
    EXPECT_EQ(WindowEnumerator::ownerPID(server(), 6), 31);
    EXPECT_FALSE(WindowEnumerator::ownerPID(server(), 8));
    EXPECT_FALSE(WindowEnumerator::ownerPID(server(), 99));
}

TEST_F(WindowEnumeratorTest, AllWindowIDsSkipsOnlyEntriesWithoutANumber) {
    serve(Value::array({
        entry(5, {{"kCGWindowLayer", Value::integer(20)}}),
        entry(6, {{"kCGWindowBounds", Value()}}),
        entry(-3),
        entry(7, {{"kCGWindowNumber", Value::string("7")}}),
    }));
    EXPECT_EQ(WindowEnumerator::allWindowIDs(server()), (std::set<std::uint32_t>{5, 6}));
}

TEST_F(WindowEnumeratorTest, HiddenWindowsAreAliveButNotOnScreen) {
    world.addApp(10, "org.example.editor", "Editor");
    world.addApp(ownPID, "org.vorn.Vorn", "Vorn");
    world.addWindow(1, 10, Rect(0, 25, 800, 600));
    world.addWindow(2, 10, Rect(0, 25, 800, 600)).minimized = true;
    world.addWindow(3, 10, Rect(0, 25, 800, 600)).onOtherDesktop = true;
    world.addWindow(4, ownPID, Rect(0, 25, 160, 900));
    world.desktop.clearCalls();

    auto onScreen = WindowEnumerator::currentScreenWindows(server(), ownPID);
    ASSERT_TRUE(onScreen);
    ASSERT_EQ(onScreen->size(), 1u);
    EXPECT_EQ(onScreen->front().windowID, 1u);
    EXPECT_EQ(WindowEnumerator::allWindowIDs(server()), (std::set<std::uint32_t>{1, 2, 3, 4}));
    // The program's own window is hidden from the list but still has its owner.
    EXPECT_EQ(WindowEnumerator::ownerPID(server(), 4), ownPID);
    EXPECT_EQ(WindowEnumerator::ownerPID(server(), 2), 10);
    EXPECT_EQ(world.desktop.callsStartingWith("windowList"),
              (std::vector<std::string>{"windowList options=0x11", "windowList options=0x10",
                                        "windowList options=0x10", "windowList options=0x10"}));
}

}  // namespace
}  // namespace vorn
