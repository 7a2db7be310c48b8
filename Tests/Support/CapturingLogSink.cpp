#include "CapturingLogSink.h"

namespace vorn::test {

class CapturingLogSink::Sink final : public LogSink {
public:
    void write(LogLevel level, std::string_view category, std::string_view message) override {
        std::lock_guard lock(mutex);
        lines.push_back({level, std::string(category), std::string(message)});
    }

    mutable std::mutex mutex;
    std::vector<LogLine> lines;
};

CapturingLogSink::CapturingLogSink()
    : m_sink(std::make_shared<Sink>())
    , m_previous(setLogSink(m_sink)) {}

CapturingLogSink::~CapturingLogSink() {
    setLogSink(m_previous);
}

std::vector<LogLine> CapturingLogSink::lines() const {
    std::lock_guard lock(m_sink->mutex);
    return m_sink->lines;
}

std::vector<std::string> CapturingLogSink::messages(const std::string& category) const {
    std::vector<std::string> out;
    for (const auto& line : lines()) {
        if (line.category == category) {
            out.push_back(line.message);
        }
    }
    return out;
}

bool CapturingLogSink::contains(const std::string& category, const std::string& message) const {
    for (const auto& line : lines()) {
        if (line.category == category && line.message == message) {
            return true;
        }
    }
    return false;
}

std::size_t CapturingLogSink::count(const std::string& category, const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& line : lines()) {
        if (line.category == category && line.message.compare(0, prefix.size(), prefix) == 0) {
            ++n;
        }
    }
    return n;
}

void CapturingLogSink::clear() {
    std::lock_guard lock(m_sink->mutex);
    m_sink->lines.clear();
}

}  // namespace vorn::test
