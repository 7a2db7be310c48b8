#include <gtest/gtest.h>

#include "MoveTargets.h"

namespace vorn {
namespace {

TEST(MoveTargetsTest, TargetsListEveryDisplayOnlyWhenThereAreTwoOrMore) {
    EXPECT_TRUE(MoveTargets::targets({}, 1).empty());
    EXPECT_TRUE(MoveTargets::targets({{1, "Built-in", true}}, 1).empty());

    const std::vector<DisplayForMove> displays = {
        {5, "Left", false}, {1, "Built-in", true}, {9, "Right", false}};
    EXPECT_EQ(
        MoveTargets::targets(displays, 1),
        (std::vector<MoveTarget>{{5, "Left", false}, {1, "Built-in", true}, {9, "Right", false}}));
    EXPECT_EQ(MoveTargets::targets({displays[0], displays[2]}, 1),
              (std::vector<MoveTarget>{{5, "Left", false}, {9, "Right", false}}));
}

TEST(MoveTargetsTest, CanMoveOnlyToAnotherConnectedDisplay) {
    struct Case {
        std::uint32_t to;
        std::uint32_t from;
        std::set<std::uint32_t> connected;
        bool expected;
    };
    const std::vector<Case> cases = {
        {2, 2, {1, 2}, false}, {3, 1, {1, 2}, false}, {2, 1, {1, 2}, true},
        {2, 1, {}, false},     {2, 7, {2}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.to) + " from " + std::to_string(c.from));
        EXPECT_EQ(MoveTargets::canMove(c.to, c.from, c.connected), c.expected);
    }
}

}  // namespace
}  // namespace vorn
