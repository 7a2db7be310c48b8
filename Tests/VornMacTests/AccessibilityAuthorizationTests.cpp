#include <gtest/gtest.h>

#include "AccessibilityAuthorization.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

TEST(AccessibilityAuthorizationTest, ReadingNeverPromptsAndAGrantShowsInALaterRead) {
    test::SimulatedWorld world;
    auto& accessibility = world.services.accessibility;
    world.desktop.trusted = false;
    world.desktop.trustedAfterPrompt = true;

    EXPECT_FALSE(AccessibilityAuthorization::isTrusted(accessibility));
    EXPECT_EQ(world.desktop.promptCount, 0);
    EXPECT_FALSE(AccessibilityAuthorization::prompt(accessibility));
    EXPECT_EQ(world.desktop.promptCount, 1);
    EXPECT_TRUE(AccessibilityAuthorization::isTrusted(accessibility));
    EXPECT_TRUE(AccessibilityAuthorization::prompt(accessibility));
}

}  // namespace
}  // namespace vorn
