#include "Log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "Text.h"

namespace vorn {
namespace {

struct SinkSlot {
    std::mutex mutex;
    std::shared_ptr<LogSink> sink = std::make_shared<StderrLogSink>();
    std::string subsystem = "org.vorn.Vorn";
};

// Never destroyed, nor the loggers below: threads still running while the process exits (the
// analytics client's timer and network threads among them) may log after static objects are
// gone.
SinkSlot& slot() {
    static auto* s = new SinkSlot;
    return *s;
}

std::atomic<int> minimumLevel{static_cast<int>(LogLevel::debug)};

}  // namespace

std::string_view logLevelName(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return "debug";
        case LogLevel::info:
            return "info";
        case LogLevel::notice:
            return "notice";
        case LogLevel::error:
            return "error";
        case LogLevel::fault:
            return "fault";
    }
    return "notice";
}

void StderrLogSink::write(LogLevel level, std::string_view category, std::string_view message) {
    // One fprintf per line keeps lines from different threads whole.
    std::fprintf(stderr, "[%.*s] %.*s: %.*s\n", static_cast<int>(category.size()), category.data(),
                 static_cast<int>(logLevelName(level).size()), logLevelName(level).data(),
                 static_cast<int>(message.size()), message.data());
}

std::shared_ptr<LogSink> setLogSink(std::shared_ptr<LogSink> sink) {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    auto previous = std::move(s.sink);
    s.sink = sink ? std::move(sink) : std::make_shared<StderrLogSink>();
    return previous;
}

std::shared_ptr<LogSink> currentLogSink() {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    return s.sink;
}

void setMinimumLogLevel(LogLevel level) {
    minimumLevel.store(static_cast<int>(level), std::memory_order_relaxed);
}

bool logLevelEnabled(LogLevel level) {
    return static_cast<int>(level) >= minimumLevel.load(std::memory_order_relaxed);
}

void setLogSubsystem(std::string subsystem) {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    s.subsystem = std::move(subsystem);
}

std::string logSubsystem() {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    return s.subsystem;
}

std::string_view detail::boundedLogField(std::string_view text) {
    return text::utf8Prefix(text, maxLogFieldBytes);
}

void Logger::emit(LogLevel level, const std::string& message) const {
    // Hold the sink by value so that a concurrent replacement cannot destroy it mid-write.
    currentLogSink()->write(level, m_category, message);
}

#define VORN_DEFINE_LOGGER(function, name)            \
    const Logger& function() {                        \
        static const auto* logger = new Logger(name); \
        return *logger;                               \
    }

VORN_DEFINE_LOGGER(vornAppLog, "app")
VORN_DEFINE_LOGGER(vornConsentLog, "consent")
VORN_DEFINE_LOGGER(vornFeedbackLog, "feedback")
VORN_DEFINE_LOGGER(vornMenuBarLog, "menubar")
VORN_DEFINE_LOGGER(vornObservabilityLog, "observability")
VORN_DEFINE_LOGGER(vornSettingsLog, "settings")
VORN_DEFINE_LOGGER(vornUpdaterLog, "updater")
VORN_DEFINE_LOGGER(vornIntegrityLog, "integrity")
VORN_DEFINE_LOGGER(vornModelLog, "model")
VORN_DEFINE_LOGGER(vornStoreLog, "store")
VORN_DEFINE_LOGGER(vornWMLog, "windowmanager")
VORN_DEFINE_LOGGER(axWindowLog, "axwindow")
VORN_DEFINE_LOGGER(vornObserverLog, "observer")

#undef VORN_DEFINE_LOGGER

}  // namespace vorn
