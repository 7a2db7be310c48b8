#pragma once

#include <string>
#include <string_view>

#include "Log.h"

namespace vorn::app {

// Sends each line to the systemd journal with the bundle identifier and the category as the
// fields SUBSYSTEM and CATEGORY (so `journalctl -t vorn CATEGORY=model` finds them); a line the
// journal does not take goes to standard error.
class JournalLogSink final : public LogSink {
public:
    explicit JournalLogSink(std::string subsystem);
    void write(LogLevel level, std::string_view category, std::string_view message) override;

private:
    std::string m_subsystem;
    StderrLogSink m_fallback;
};

// The syslog priority of a level.
int syslogPriority(LogLevel level);

// Whether this system runs a journal that takes lines from programs.
bool journalAvailable();

// The lowest level written for a value of VORN_LOG_LEVEL: "debug" or "info" as asked, notice
// for anything else (no value included). Notice and above are always written.
LogLevel chosenLogLevel(const char* value);

// Names the subsystem after the bundle identifier, logs to the journal when there is one, else
// to standard error, writes from the level VORN_LOG_LEVEL asks for, and forwards Qt's own and
// the analytics client's messages into the log.
void installLogging();

// Qt's messages into the log facade, under "app"; installed by installLogging().
void forwardQtMessages();

}  // namespace vorn::app
