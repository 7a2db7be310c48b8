#include <gtest/gtest.h>

#include "SystemIntegrity.h"

namespace vorn {
namespace {

TEST(SystemIntegrityTests, TranslocatedPaths) {
    EXPECT_TRUE(isTranslocated("/private/var/folders/xy/AppTranslocation/1234/d/Some.app"));
    EXPECT_FALSE(isTranslocated("/Applications/Some.app"));
    EXPECT_FALSE(isTranslocated("/private/var/folders/xy/AppTranslocation"));
    EXPECT_FALSE(isTranslocated("/private/var/folders/xy/apptranslocation/1/Some.app"));
}

}  // namespace
}  // namespace vorn
