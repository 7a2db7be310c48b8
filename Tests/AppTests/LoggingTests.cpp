#include <QtTest>

#include "CapturingLogSink.h"
#include "Logging.h"

namespace vorn::app {

class LoggingTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void qtMessagesReachTheLog() {
        test::CapturingLogSink logs;
        forwardQtMessages();
        qWarning("plugin missing name=%s", "xcb");
        qInstallMessageHandler(nullptr);
        const auto lines = logs.lines();
        QCOMPARE(lines.size(), std::size_t(1));
        QCOMPARE(lines[0].category, std::string("app"));
        QCOMPARE(lines[0].level, LogLevel::notice);
        QCOMPARE(lines[0].message, std::string("qt: plugin missing name=xcb"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::LoggingTests)
#include "LoggingTests.moc"
