#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

#include "Helpers/LogHandler.h"
#include "Signals/SignalPostBody.h"
#include "System/ConcurrentQueue.h"

namespace vorn::tally {

// The records not delivered yet, oldest first, never more than the limit: beyond it the
// oldest are dropped. Takes over (and deletes) the file a previous run left, and writes itself
// to that file on request. Every operation is synchronous and safe from any thread.
class SignalCache {
public:
    static constexpr std::size_t maximumNumberOfSignalsToPopAtOnce = 100;
    static constexpr const char* cacheFileName = "tallysignalcache";

    // Loads and deletes the previous run's file before returning. A negative limit counts as
    // zero. Without a file the default one is used.
    SignalCache(std::optional<LogHandler> logHandler,
                long long cacheLimit,
                std::optional<std::filesystem::path> fileURL = std::nullopt);

    // "<caches directory>/<program name>/tallysignalcache": a folder of the program's own, so
    // that two programs using the client never share one file.
    static std::optional<std::filesystem::path> defaultFileURL();

    void push(SignalPostBody signal);
    // Appends in order, then drops the oldest beyond the limit.
    void push(std::vector<SignalPostBody> signals);
    // Removes and returns the oldest records, at most 100.
    std::vector<SignalPostBody> pop();
    std::size_t count() const;
    // Writes every record to the file (atomically, creating its folder) and empties the cache.
    // On failure the records stay.
    void backupCache();

private:
    struct State {
        std::deque<SignalPostBody> cachedSignals;
    };

    void log(LogHandler::LogLevel level, const std::string& message) const;
    std::optional<std::filesystem::path> fileURL() const;
    void trimToCacheLimitLocked(State& state) const;
    void loadFromDiskLocked(State& state) const;

    const std::optional<LogHandler> m_logHandler;
    const std::size_t m_cacheLimit;
    const std::optional<std::filesystem::path> m_cacheFileURL;
    system::ConcurrentQueue<State> m_queue;
};

}  // namespace vorn::tally
