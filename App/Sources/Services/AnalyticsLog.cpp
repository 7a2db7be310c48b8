#include "AnalyticsLog.h"

#include "Helpers/LogHandler.h"
#include "Log.h"

namespace vorn {
namespace {

LogLevel levelOf(tally::LogHandler::LogLevel level) {
    switch (level) {
        case tally::LogHandler::LogLevel::debug:
            return LogLevel::debug;
        case tally::LogHandler::LogLevel::info:
            return LogLevel::info;
        case tally::LogHandler::LogLevel::error:
            return LogLevel::error;
    }
    return LogLevel::notice;
}

}  // namespace

void forwardAnalyticsLog() {
    tally::LogHandler::setStandardOutput(
        [](tally::LogHandler::LogLevel level, const std::string& message) {
            vornObservabilityLog().log(levelOf(level), "analytics: ", message);
        });
}

}  // namespace vorn
