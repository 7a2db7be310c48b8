#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "Log.h"

namespace vorn {
namespace {

TEST(LogTests, LinesBelowTheMinimumLevelAreDropped) {
    test::CapturingLogSink log;
    setMinimumLogLevel(LogLevel::notice);
    vornModelLog().debug("refresh");
    vornModelLog().info("info");
    vornModelLog().notice("notice");
    vornModelLog().error("error");
    setMinimumLogLevel(LogLevel::debug);
    vornModelLog().debug("asked for");
    EXPECT_EQ(log.messages("model"), (std::vector<std::string>{"notice", "error", "asked for"}));
}

}  // namespace
}  // namespace vorn
