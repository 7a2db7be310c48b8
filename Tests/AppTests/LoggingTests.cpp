#include <QtTest>

#include "AnalyticsLog.h"
#include "CapturingLogSink.h"
#include "Helpers/LogHandler.h"
#include "Logging.h"

namespace vorn::app {

class LoggingTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void debugLinesAreWrittenOnlyWhenAskedFor() {
        const std::pair<const char*, LogLevel> cases[] = {
            {nullptr, LogLevel::notice}, {"", LogLevel::notice},      {"debug", LogLevel::debug},
            {"info", LogLevel::info},    {"error", LogLevel::notice}, {"DEBUG", LogLevel::notice},
        };
        for (const auto& [value, expected] : cases) {
            QCOMPARE(chosenLogLevel(value), expected);
        }
    }

    void theAnalyticsClientLogsThroughTheProgramsLog() {
        test::CapturingLogSink log;
        forwardAnalyticsLog();
        // Made before the forwarding or after, the client's standard handler writes there.
        const auto handler = tally::LogHandler::standard(tally::LogHandler::LogLevel::info);
        handler.log(tally::LogHandler::LogLevel::error, "Error saving Telemetry cache");
        handler.log(tally::LogHandler::LogLevel::debug, "below the handler's level");
        tally::LogHandler::setStandardOutput({});
        QCOMPARE(log.lines().size(), std::size_t(1));
        QCOMPARE(log.lines().front().level, LogLevel::error);
        QCOMPARE(log.messages("observability").front(),
                 std::string("analytics: Error saving Telemetry cache"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::LoggingTests)
#include "LoggingTests.moc"
