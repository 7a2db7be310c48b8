#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Log.h"

namespace vorn::tally {

// The analytics client's logging hook: a minimum level and a function that receives every
// message at or above it. A plain value; the function may be called from any thread.
struct LogHandler {
    enum class LogLevel {
        debug = 0,
        info = 1,
        error = 2,
    };

    using Handler = std::function<void(LogLevel, const std::string&)>;

    LogHandler(LogLevel level, Handler function)
        : logLevel(level)
        , handler(std::move(function)) {}

    // The level for a raw value; none outside 0 to 2.
    static std::optional<LogLevel> levelFromRaw(int raw);
    // "DEBUG", "INFO" or "ERROR".
    static std::string_view description(LogLevel level);

    // The default handler: the program's output set with setStandardOutput(), else the
    // program's log (Log.h) under the category "tally", which writes to wherever the program
    // sends its own lines and obeys its minimum level.
    static LogHandler standard(LogLevel level);
    // Where every standard handler writes from now on, including those made before; an empty
    // function restores the program's log under "tally". For a program that files the client's
    // lines under a category of its own.
    static void setStandardOutput(Handler output);

    // Hands the message on when its level is at or above logLevel.
    void log(LogLevel level, const std::string& message) const;

    LogLevel logLevel;
    Handler handler;
};

// The program's log level for a client level.
vorn::LogLevel programLogLevel(LogHandler::LogLevel level);

namespace detail {
// The standard-output form alone: one line "[Tally: LEVEL] message".
LogHandler standardOutputHandler(LogHandler::LogLevel level);
}  // namespace detail

}  // namespace vorn::tally
