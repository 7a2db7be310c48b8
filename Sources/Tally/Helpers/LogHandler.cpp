#include "Helpers/LogHandler.h"

#include <cstdio>

#include "System/SharedSlot.h"

namespace vorn::tally {
namespace {

using LogLevel = LogHandler::LogLevel;

void printLine(LogLevel level, const std::string& message) {
    const std::string line =
        "[Tally: " + std::string(LogHandler::description(level)) + "] " + message + "\n";
    // One write per line keeps lines from different threads whole.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// Never destroyed, like the slots: the client's threads may log while the process exits.
const Logger& tallyLog() {
    static const auto* logger = new Logger("tally");
    return *logger;
}

struct StandardOutput;

system::SharedSlot<const LogHandler::Handler>& standardOutput() {
    return system::processSlot<const LogHandler::Handler, StandardOutput>();
}

void writeToStandardOutput(LogLevel level, const std::string& message) {
    if (const auto output = standardOutput().current()) {
        (*output)(level, message);
    } else {
        tallyLog().log(programLogLevel(level), message);
    }
}

}  // namespace

void LogHandler::setStandardOutput(Handler output) {
    standardOutput().set(system::sharedFunction(std::move(output)));
}

vorn::LogLevel programLogLevel(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return vorn::LogLevel::debug;
        case LogLevel::info:
            return vorn::LogLevel::info;
        case LogLevel::error:
            return vorn::LogLevel::error;
    }
    return vorn::LogLevel::notice;
}

std::optional<LogLevel> LogHandler::levelFromRaw(int raw) {
    if (raw < 0 || raw > 2) {
        return std::nullopt;
    }
    return static_cast<LogLevel>(raw);
}

std::string_view LogHandler::description(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return "DEBUG";
        case LogLevel::info:
            return "INFO";
        case LogLevel::error:
            return "ERROR";
    }
    return "INFO";
}

LogHandler LogHandler::standard(LogLevel level) {
    return LogHandler(level, writeToStandardOutput);
}

void LogHandler::log(LogLevel level, const std::string& message) const {
    if (static_cast<int>(level) >= static_cast<int>(logLevel) && handler) {
        handler(level, message);
    }
}

LogHandler detail::standardOutputHandler(LogLevel level) {
    return LogHandler(level, printLine);
}

}  // namespace vorn::tally
