#include "AnalyticsLog.h"

#include "Helpers/LogHandler.h"
#include "Log.h"

namespace vorn {

void forwardAnalyticsLog() {
    tally::LogHandler::setStandardOutput(
        [](tally::LogHandler::LogLevel level, const std::string& message) {
            vornObservabilityLog().log(tally::programLogLevel(level), "analytics: ", message);
        });
}

}  // namespace vorn
