#include <gtest/gtest.h>

#include "CapturingLogHandler.h"
#include "CapturingLogSink.h"
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

TEST(LogHandlerTests, TheStandardHandlerWritesThroughTheProgramsLog) {
    vorn::test::CapturingLogSink log;
    const LogHandler handler = LogHandler::standard(Level::debug);
    handler.log(Level::debug, "cache loaded");
    handler.log(Level::info, "signal sent");
    handler.log(Level::error, "disk full");
    // The program's minimum level holds for the client's lines too.
    vorn::setMinimumLogLevel(vorn::LogLevel::notice);
    handler.log(Level::info, "dropped by the program");
    handler.log(Level::error, "still written");
    vorn::setMinimumLogLevel(vorn::LogLevel::debug);

    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 4U);
    const vorn::LogLevel levels[] = {vorn::LogLevel::debug, vorn::LogLevel::info,
                                     vorn::LogLevel::error, vorn::LogLevel::error};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].level, levels[i]) << lines[i].message;
        EXPECT_EQ(lines[i].category, "tally");
    }
    EXPECT_EQ(log.messages("tally"), (std::vector<std::string>{"cache loaded", "signal sent",
                                                               "disk full", "still written"}));
}

}  // namespace
}  // namespace vorn::tally
