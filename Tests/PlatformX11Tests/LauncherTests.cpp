#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "Launcher.h"
#include "PollRunLoop.h"

namespace vorn::platform::x11 {
namespace {

TEST(X11LauncherTest, AProgramThatEndsIsCollectedWithoutWaitingForTheNextLaunch) {
    PollRunLoop loop;
    Launcher launcher(loop, "");
    const auto pid = launcher.spawn({"true"}, "");
    ASSERT_TRUE(pid);
    // A child that ended but was not collected stays in the process table as a zombie.
    const std::filesystem::path entry = "/proc/" + std::to_string(*pid);
    const auto deadline = loop.now() + std::chrono::seconds(10);
    while (std::filesystem::exists(entry) && loop.now() < deadline) {
        loop.runUntil(loop.now() + std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(launcher.running(), 0u);

    EXPECT_FALSE(launcher.spawn({"/nonexistent/program"}, ""));
    EXPECT_EQ(launcher.running(), 0u);
}

}  // namespace
}  // namespace vorn::platform::x11
