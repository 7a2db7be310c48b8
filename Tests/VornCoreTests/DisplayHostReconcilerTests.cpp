#include <gtest/gtest.h>

#include "DisplayHostReconciler.h"

namespace vorn {
namespace {

struct ReconcileCase {
    std::string hostKey;
    std::uint32_t hostID;
    std::vector<DisplaySnapshot> displays;
    std::string decision;
};

TEST(DisplayHostReconcilerTests, Decisions) {
    const ReconcileCase cases[] = {
        {"A", 1, {{2, "A"}, {1, "B"}}, "realign(2)"},
        {"A", 1, {{1, "B"}, {3, "C"}}, "reselect([1, 3])"},
        {"A", 1, {{1, "B"}}, "autoAdopt(1)"},
        {"A", 1, {{1, ""}}, "realign(1)"},
        {"", 1, {{1, "B"}, {2, "C"}}, "realign(1)"},
        {"", 7, {{1, "B"}, {2, "C"}}, "reselect([1, 2])"},
        {"A", 3, {}, "wait"},
        {"A", 1, {{4, "A"}, {5, "A"}}, "realign(4)"},
        // Identical monitors sharing a key: the host's own number picks the right one.
        {"A", 5, {{4, "A"}, {5, "A"}}, "realign(5)"},
        {"A", 1, {{2, "a"}, {2, "B"}}, "reselect([2, 2])"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayHostReconciler::reconcile(c.hostKey, c.hostID, c.displays).description(),
                  c.decision);
    }
    EXPECT_NE(DisplayHostDecision::realign(1), DisplayHostDecision::autoAdopt(1));
    EXPECT_NE(DisplayHostDecision::reselect({1, 2}), DisplayHostDecision::reselect({2, 1}));
}

}  // namespace
}  // namespace vorn
