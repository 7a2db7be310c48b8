#include <filesystem>

#include <gtest/gtest.h>

#include "Paths.h"

namespace vorn::host {
namespace {

TEST(PathsTests, XdgDirectoriesFollowTheirRules) {
    EXPECT_EQ(xdgDirectory("/x/cache", "/home/u", ".cache"), std::filesystem::path("/x/cache"));
    EXPECT_EQ(xdgDirectory(nullptr, "/home/u", ".cache"), std::filesystem::path("/home/u/.cache"));
    EXPECT_EQ(xdgDirectory("", "/home/u", ".config"), std::filesystem::path("/home/u/.config"));
    // Relative values are invalid and ignored.
    EXPECT_EQ(xdgDirectory("rel", "/home/u", ".cache"), std::filesystem::path("/home/u/.cache"));
    EXPECT_FALSE(xdgDirectory(nullptr, nullptr, ".cache"));
    EXPECT_FALSE(xdgDirectory(nullptr, "", ".cache"));
    EXPECT_EQ(applicationFolderName(), "HostTests");
}

}  // namespace
}  // namespace vorn::host
