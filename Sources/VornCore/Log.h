#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace vorn {

// Severity of a log line, lowest first.
enum class LogLevel {
    debug,
    info,
    notice,
    error,
    fault
};

std::string_view logLevelName(LogLevel level);

// Where log lines go. One sink serves the whole process; it may be called from any thread.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(LogLevel level, std::string_view category, std::string_view message) = 0;
};

// Writes "[category] level: message" lines to standard error.
class StderrLogSink final : public LogSink {
public:
    void write(LogLevel level, std::string_view category, std::string_view message) override;
};

// Installs the process-wide sink; null restores the standard-error sink. Returns the previous one.
std::shared_ptr<LogSink> setLogSink(std::shared_ptr<LogSink> sink);
std::shared_ptr<LogSink> currentLogSink();

// Lines below the level are dropped before they are even formatted. Everything passes until a
// program sets a level.
void setMinimumLogLevel(LogLevel level);
bool logLevelEnabled(LogLevel level);

// The subsystem name every log line carries (the application's bundle identifier).
void setLogSubsystem(std::string subsystem);
std::string logSubsystem();

// Texts from other programs can be of any length: each text field of a line is cut to this many
// bytes, on a character boundary.
inline constexpr std::size_t maxLogFieldBytes = 255;

namespace detail {
std::string_view boundedLogField(std::string_view text);

template <typename T>
decltype(auto) logField(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return boundedLogField(value);
    } else {
        return (value);
    }
}
}  // namespace detail

// A named logger for one area of the program. Messages are short phrases with key=value fields;
// the arguments are streamed one after the other.
class Logger {
public:
    explicit Logger(std::string category)
        : m_category(std::move(category)) {}

    const std::string& category() const { return m_category; }

    template <typename... Args>
    void log(LogLevel level, const Args&... args) const {
        if (!logLevelEnabled(level)) {
            return;
        }
        std::ostringstream out;
        (out << ... << detail::logField(args));
        emit(level, out.str());
    }
    template <typename... Args>
    void debug(const Args&... args) const {
        log(LogLevel::debug, args...);
    }
    template <typename... Args>
    void info(const Args&... args) const {
        log(LogLevel::info, args...);
    }
    template <typename... Args>
    void notice(const Args&... args) const {
        log(LogLevel::notice, args...);
    }
    template <typename... Args>
    void error(const Args&... args) const {
        log(LogLevel::error, args...);
    }
    template <typename... Args>
    void fault(const Args&... args) const {
        log(LogLevel::fault, args...);
    }

private:
    void emit(LogLevel level, const std::string& message) const;

    std::string m_category;
};

// A flag as log lines write it.
inline const char* boolText(bool value) {
    return value ? "true" : "false";
}

// The fixed list of areas. Each logger is made on first use.
const Logger& vornAppLog();            // "app"
const Logger& vornConsentLog();        // "consent"
const Logger& vornFeedbackLog();       // "feedback"
const Logger& vornMenuBarLog();        // "menubar"
const Logger& vornObservabilityLog();  // "observability"
const Logger& vornSettingsLog();       // "settings"
const Logger& vornUpdaterLog();        // "updater"
const Logger& vornIntegrityLog();      // "integrity"
const Logger& vornModelLog();          // "model"
const Logger& vornStoreLog();          // "store"
const Logger& vornWMLog();             // "windowmanager"
const Logger& axWindowLog();           // "axwindow"
const Logger& vornObserverLog();       // "observer"

}  // namespace vorn
