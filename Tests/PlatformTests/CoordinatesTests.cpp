#include <gtest/gtest.h>

#include "Coordinates.h"

namespace vorn::platform {
namespace {

TEST(CoordinatesTest, FlipAndOriginShiftEachUndoThemselves) {
    // A 1080-high primary display at (1920, 120) of the root, a window across its top edge.
    const Point origin{1920, 120};
    const Rect root(1800, 100, 400, 300);
    const Rect global = toGlobal(root, origin);
    EXPECT_EQ(global, Rect(-120, -20, 400, 300));
    EXPECT_EQ(fromGlobal(global, origin), root);
    EXPECT_EQ(fromGlobal(toGlobal(Point{5, 7}, origin), origin), (Point{5, 7}));

    // Its bottom edge lies 280 below the primary display's top edge: 800 above its bottom one.
    const Rect bottomLeft = flipped(global, 1080);
    EXPECT_EQ(bottomLeft, Rect(-120, 800, 400, 300));
    EXPECT_EQ(flipped(bottomLeft, 1080), global);
    // A negative size keeps its sign and mirrors the same span.
    const Rect inverted = flipped(Rect(0, 300, 10, -300), 1080);
    EXPECT_EQ(inverted, Rect(0, 1080, 10, -300));
    EXPECT_EQ(inverted.minY(), 780);
    EXPECT_EQ(inverted.maxY(), 1080);
}

}  // namespace
}  // namespace vorn::platform
