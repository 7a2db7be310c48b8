#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

    // The default handler: the program's output set with setStandardOutput(), else the systemd
    // journal (subsystem "Tally", category "LogHandler"), or standard output where the journal
    // does not take the message.
    static LogHandler standard(LogLevel level);
    // Where every standard handler writes from now on, including those made before; an empty
    // function restores the journal. For a program that has a log of its own.
    static void setStandardOutput(Handler output);

    // Hands the message on when its level is at or above logLevel.
    void log(LogLevel level, const std::string& message) const;

    LogLevel logLevel;
    Handler handler;
};

namespace detail {
// The standard-output form alone: one line "[Tally: LEVEL] message".
LogHandler standardOutputHandler(LogHandler::LogLevel level);
}  // namespace detail

}  // namespace vorn::tally
