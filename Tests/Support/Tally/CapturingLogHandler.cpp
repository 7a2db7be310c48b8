#include "CapturingLogHandler.h"

namespace vorn::tally::test {

CapturingLogHandler::CapturingLogHandler()
    : m_store(std::make_shared<Store>()) {}

LogHandler CapturingLogHandler::handler(LogHandler::LogLevel level) const {
    return LogHandler(level, [store = m_store](LogHandler::LogLevel line, const std::string& text) {
        std::lock_guard lock(store->mutex);
        store->lines.push_back({line, text});
    });
}

std::vector<CapturingLogHandler::Line> CapturingLogHandler::lines() const {
    std::lock_guard lock(m_store->mutex);
    return m_store->lines;
}

std::vector<std::string> CapturingLogHandler::messages() const {
    std::vector<std::string> out;
    for (const auto& line : lines()) {
        out.push_back(line.message);
    }
    return out;
}

std::size_t CapturingLogHandler::count(const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& line : lines()) {
        n += line.message.starts_with(prefix) ? 1 : 0;
    }
    return n;
}

void CapturingLogHandler::clear() {
    std::lock_guard lock(m_store->mutex);
    m_store->lines.clear();
}

}  // namespace vorn::tally::test
