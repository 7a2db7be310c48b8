#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Helpers/LogHandler.h"

namespace vorn::tally::test {

// Collects what a LogHandler made by handler() lets through.
class CapturingLogHandler {
public:
    struct Line {
        LogHandler::LogLevel level;
        std::string message;
    };

    CapturingLogHandler();

    LogHandler handler(LogHandler::LogLevel level = LogHandler::LogLevel::debug) const;
    std::vector<Line> lines() const;
    std::vector<std::string> messages() const;
    // Messages that start with the prefix.
    std::size_t count(const std::string& prefix) const;
    void clear();

private:
    struct Store {
        std::mutex mutex;
        std::vector<Line> lines;
    };
    std::shared_ptr<Store> m_store;
};

}  // namespace vorn::tally::test
