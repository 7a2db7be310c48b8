#include <limits>

#include <gtest/gtest.h>

#include "Geometry.h"

namespace vorn {
namespace {

TEST(GeometryTests, LogFormSaturates) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(logDescription(Rect(100.7, 200.2, 800.5, 600.9)), "(100,200 800x600)");
    EXPECT_EQ(logDescription(Rect(-3.9, nan, inf, -1e300)),
              "(-3,0 9223372036854775807x-9223372036854775808)");
}

}  // namespace
}  // namespace vorn
