#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Log.h"

namespace vorn::test {

struct LogLine {
    LogLevel level;
    std::string category;
    std::string message;
};

// Collects log lines while it is installed; restores the previous sink when destroyed.
class CapturingLogSink {
public:
    CapturingLogSink();
    ~CapturingLogSink();
    CapturingLogSink(const CapturingLogSink&) = delete;
    CapturingLogSink& operator=(const CapturingLogSink&) = delete;

    std::vector<LogLine> lines() const;
    // Messages of one category, in order.
    std::vector<std::string> messages(const std::string& category) const;
    bool contains(const std::string& category, const std::string& message) const;
    // Lines whose message starts with the prefix.
    std::size_t count(const std::string& category, const std::string& prefix) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> m_sink;
    std::shared_ptr<LogSink> m_previous;
};

}  // namespace vorn::test
