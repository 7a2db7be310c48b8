#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Models.h"
#include "PlacementEngine.h"

namespace vorn {
namespace {

using PE = PlacementEngine;
const Rect screen(0, 0, 1440, 875);
constexpr auto left = SidebarSide::left;
constexpr auto right = SidebarSide::right;

TEST(PlacementEngineTests, Areas) {
    EXPECT_EQ(PE::effectiveArea(screen, 160, left), Rect(160, 0, 1280, 875));
    EXPECT_EQ(PE::effectiveArea(screen, 160, right), Rect(0, 0, 1280, 875));
    EXPECT_EQ(PE::contentArea(screen, 160, left), Rect(280, 16, 1040, 843));
    EXPECT_EQ(PE::sidebarStrip(screen, 176, right), Rect(1264, 0, 176, 875));
    // Halves round away from zero, also below zero.
    EXPECT_EQ(PE::centeredNoResize({0, 0, 1, 1}, {-10, -10, 0, 0}).origin, (Point{-11, -11}));
}

struct TargetCase {
    PlacementMode mode;
    PlacementKind kind;
    bool resizable;
    Rect window;
    std::optional<Rect> expected;
    SidebarSide side = left;
    double width = 160;
};

TEST(PlacementEngineTests, Target) {
    using enum PlacementMode;
    using enum PlacementKind;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::optional<Rect> none;
    using R = Rect;
    const TargetCase cases[] = {
        {normal, pinned, true, {100, 200, 800, 600}, R(176, 200, 800, 600)},
        {normal, pinned, true, {1000, 100, 600, 400}, R(664, 100, 600, 400), right},
        {normal, pinned, true, {176, 200, 800, 600}, none},  // touching is not overlapping
        {normal, pinned, true, {175.5, 200, 800, 600}, R(176, 200, 800, 600)},
        {normal, pinned, true, {3000, 200, 800, 600}, R(640, 200, 800, 600)},
        {normal, pinned, true, {3000, 200, 1500, 600}, R(176, 200, 1500, 600)},
        {center, recent, true, {50, 50, 2000, 500}, R(280, 188, 1040, 500)},
        {center, recent, true, {280, 188, 1040, 500}, none},
        {fill, pinned, true, {0, 0, 10, 10}, R(160, 0, 1280, 875)},
        {fill, recent, true, {0, 0, 10, 10}, R(280, 16, 1040, 843)},
        {fill, pinned, false, {0, 0, 600, 400}, R(500, 238, 600, 400)},
        {fill, pinned, true, {160.3, 0, 1280, 875}, R(160, 0, 1280, 875)},
        {fill, pinned, true, {160, 0, 1280, 875}, none},
        // A sidebar as wide as the display leaves no room.
        {center, pinned, true, {0, 0, 600, 400}, none, left, 1440},
        // Never shrunk below the minimum, though a small window may stay small.
        {fill, pinned, true, {0, 0, 600, 400}, none, left, 1410},
        {fill, pinned, true, {0, 0, 600, 400}, R(1400, 0, 40, 875), left, 1400},
        {center, recent, true, {0, 0, 20, 30}, R(790, 423, 20, 30)},
        {fill, recent, true, {0, 0, 600, 400}, none, left, 1440},
        {fill, pinned, false, {0, 0, 600, 400}, R(1140, 238, 600, 400), left, 1440},
        {normal, pinned, true, {100, 200, 800, 600}, R(1440, 200, 800, 600), left, 1440},
        // Absurd widths and frames.
        {fill, pinned, true, {0, 0, 10, 10}, R(160, 0, 1280, 875), left, nan},
        {fill, pinned, true, {0, 0, 10, 10}, R(0, 0, 1440, 875), left, -50},
        {normal, pinned, true, {nan, 200, 800, 600}, none},
        {fill, pinned, false, {0, 0, inf, 400}, none},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(PE::target(c.mode, c.kind, c.resizable, c.window, screen, c.width, c.side),
                  c.expected)
            << "case " << i;
    }
}

}  // namespace
}  // namespace vorn
