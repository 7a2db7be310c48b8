#include <gtest/gtest.h>

#include "CapturingLogHandler.h"
#include "Helpers/LogHandler.h"

namespace vorn::tally {
namespace {

using Level = LogHandler::LogLevel;

TEST(LogHandlerTests, MessagesAtOrAboveTheHandlersLevelPass) {
    struct Case {
        Level handlerLevel;
        std::vector<std::string> delivered;
    };
    const Case cases[] = {
        {Level::debug, {"debug", "info", "error"}},
        {Level::info, {"info", "error"}},
        {Level::error, {"error"}},
    };
    for (const auto& c : cases) {
        test::CapturingLogHandler capture;
        const LogHandler handler = capture.handler(c.handlerLevel);
        handler.log(Level::debug, "debug");
        handler.log(Level::info, "info");
        handler.log(Level::error, "error");
        EXPECT_EQ(capture.messages(), c.delivered) << LogHandler::description(c.handlerLevel);
    }
}

TEST(LogHandlerTests, RawValuesAndDescriptions) {
    EXPECT_EQ(LogHandler::levelFromRaw(0), Level::debug);
    EXPECT_EQ(LogHandler::levelFromRaw(2), Level::error);
    EXPECT_FALSE(LogHandler::levelFromRaw(-1));
    EXPECT_FALSE(LogHandler::levelFromRaw(3));
    EXPECT_EQ(LogHandler::description(Level::debug), "DEBUG");
    EXPECT_EQ(LogHandler::description(Level::info), "INFO");
    EXPECT_EQ(LogHandler::description(Level::error), "ERROR");
}

TEST(LogHandlerTests, StandardOutputFormWritesOneLinePerMessage) {
    const LogHandler handler = detail::standardOutputHandler(Level::info);
    testing::internal::CaptureStdout();
    handler.log(Level::error, "disk full");
    handler.log(Level::debug, "filtered");
    handler.log(Level::info, "saved");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[Tally: ERROR] disk full\n[Tally: INFO] saved\n");
}

}  // namespace
}  // namespace vorn::tally
