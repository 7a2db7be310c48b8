#include "Logging.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include <QString>
#include <QtGlobal>

#include "AnalyticsLog.h"
#include "BundleInfo.h"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace vorn::app {
namespace {

constexpr char journalSocket[] = "/run/systemd/journal/socket";

int clampedLength(std::string_view text) {
    return static_cast<int>(std::min<std::size_t>(text.size(), 1U << 30));
}

LogLevel levelOf(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return LogLevel::debug;
        case QtInfoMsg:
            return LogLevel::info;
        case QtWarningMsg:
            return LogLevel::notice;
        case QtCriticalMsg:
            return LogLevel::error;
        case QtFatalMsg:
            return LogLevel::fault;
    }
    return LogLevel::notice;
}

void qtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::string message = text.toStdString();
    const std::string_view category =
        context.category != nullptr ? std::string_view(context.category) : std::string_view();
    if (category.empty() || category == "default") {
        vornAppLog().log(levelOf(type), "qt: ", message);
    } else {
        vornAppLog().log(levelOf(type), "qt ", category, ": ", message);
    }
}

}  // namespace

JournalLogSink::JournalLogSink(std::string subsystem)
    : m_subsystem(std::move(subsystem)) {}

void JournalLogSink::write(LogLevel level, std::string_view category, std::string_view message) {
    const int sent = sd_journal_send("MESSAGE=%.*s", clampedLength(message), message.data(),
                                     "PRIORITY=%i", syslogPriority(level), "SUBSYSTEM=%s",
                                     m_subsystem.c_str(), "CATEGORY=%.*s", clampedLength(category),
                                     category.data(), "SYSLOG_IDENTIFIER=vorn", nullptr);
    if (sent < 0) {
        m_fallback.write(level, category, message);
    }
}

int syslogPriority(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return LOG_DEBUG;
        case LogLevel::info:
            return LOG_INFO;
        case LogLevel::notice:
            return LOG_NOTICE;
        case LogLevel::error:
            return LOG_ERR;
        case LogLevel::fault:
            return LOG_CRIT;
    }
    return LOG_NOTICE;
}

bool journalAvailable() {
    return ::access(journalSocket, W_OK) == 0;
}

LogLevel chosenLogLevel(const char* value) {
    const std::string_view asked = value != nullptr ? value : "";
    if (asked == "debug") {
        return LogLevel::debug;
    }
    if (asked == "info") {
        return LogLevel::info;
    }
    return LogLevel::notice;
}

void installLogging() {
    // Debug lines come on every refresh: the journal keeps them only when asked for.
    setMinimumLogLevel(chosenLogLevel(std::getenv("VORN_LOG_LEVEL")));
    setLogSubsystem(bundle::identifier);
    if (journalAvailable()) {
        setLogSink(std::make_shared<JournalLogSink>(bundle::identifier));
    }
    forwardQtMessages();
    forwardAnalyticsLog();
}

void forwardQtMessages() {
    qInstallMessageHandler(qtMessage);
}

}  // namespace vorn::app
