#include "Signals/SignalCache.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "FileIO.h"
#include "System/Paths.h"

namespace vorn::tally {
namespace {

using LogLevel = LogHandler::LogLevel;

}  // namespace

SignalCache::SignalCache(std::optional<LogHandler> logHandler,
                         long long cacheLimit,
                         std::optional<std::filesystem::path> fileURL)
    : m_logHandler(std::move(logHandler))
    , m_cacheLimit(cacheLimit < 0 ? 0 : static_cast<std::size_t>(cacheLimit))
    , m_cacheFileURL(std::move(fileURL)) {
    m_queue.barrierSync([this](State& state) { loadFromDiskLocked(state); });
}

std::optional<std::filesystem::path> SignalCache::defaultFileURL() {
    const auto caches = system::cachesDirectory();
    if (!caches) {
        return std::nullopt;
    }
    return *caches / system::applicationFolderName() / cacheFileName;
}

void SignalCache::push(SignalPostBody signal) {
    m_queue.barrierSync([&](State& state) {
        state.cachedSignals.push_back(std::move(signal));
        trimToCacheLimitLocked(state);
    });
}

void SignalCache::push(std::vector<SignalPostBody> signals) {
    m_queue.barrierSync([&](State& state) {
        for (auto& signal : signals) {
            state.cachedSignals.push_back(std::move(signal));
        }
        trimToCacheLimitLocked(state);
    });
}

std::vector<SignalPostBody> SignalCache::pop() {
    return m_queue.barrierSync([](State& state) {
        const std::size_t n =
            std::min(state.cachedSignals.size(), maximumNumberOfSignalsToPopAtOnce);
        const auto end = state.cachedSignals.begin() + static_cast<std::ptrdiff_t>(n);
        std::vector<SignalPostBody> batch(std::make_move_iterator(state.cachedSignals.begin()),
                                          std::make_move_iterator(end));
        state.cachedSignals.erase(state.cachedSignals.begin(), end);
        return batch;
    });
}

std::size_t SignalCache::count() const {
    return m_queue.sync([](const State& state) { return state.cachedSignals.size(); });
}

void SignalCache::backupCache() {
    m_queue.barrierSync([this](State& state) {
        const std::vector<SignalPostBody> records(state.cachedSignals.begin(),
                                                  state.cachedSignals.end());
        const auto data = JSONEncoder{}.encode(records);
        const auto target = fileURL();
        fileio::WriteResult result;
        if (data && target) {
            result = fileio::createDirectories(target->parent_path());
            if (result.ok) {
                result = fileio::writeAtomically(*target, *data);
            }
        }
        if (!result.ok) {
            log(LogLevel::error, "Error saving Telemetry cache");
            return;
        }
        log(LogLevel::info, "Saved Telemetry cache " + std::to_string(data->size()) + " bytes of "
                                + std::to_string(records.size()) + " signals");
        state.cachedSignals.clear();
    });
}

void SignalCache::log(LogLevel level, const std::string& message) const {
    if (m_logHandler) {
        m_logHandler->log(level, message);
    }
}

std::optional<std::filesystem::path> SignalCache::fileURL() const {
    return m_cacheFileURL ? m_cacheFileURL : defaultFileURL();
}

void SignalCache::trimToCacheLimitLocked(State& state) const {
    if (state.cachedSignals.size() > m_cacheLimit) {
        const auto excess = static_cast<std::ptrdiff_t>(state.cachedSignals.size() - m_cacheLimit);
        state.cachedSignals.erase(state.cachedSignals.begin(),
                                  state.cachedSignals.begin() + excess);
    }
}

void SignalCache::loadFromDiskLocked(State& state) const {
    const auto file = fileURL();
    if (!file) {
        log(LogLevel::error, "Failed to get disk cache url from FileManager.");
        return;
    }
    log(LogLevel::info, "Loading Telemetry cache from: " + file->string());
    // A backup interrupted by a crash leaves its temporary file beside the target.
    fileio::removeStaleTemporaries(*file);
    const auto data = fileio::readFile(*file);
    if (!data) {
        return;
    }
    // Deleted before decoding: a file that cannot be decoded would otherwise be read again at
    // every start.
    std::remove(file->c_str());
    const auto decoded = JSONDecoder{}.decodeArray(*data);
    if (!decoded) {
        log(LogLevel::error, "Discarded unreadable Telemetry cache");
        return;
    }
    if (decoded->rejected > 0) {
        // One damaged record must not cost the others.
        log(LogLevel::error,
            "Skipped " + std::to_string(decoded->rejected) + " unreadable cached signals");
    }
    log(LogLevel::info, "Loaded " + std::to_string(decoded->records.size()) + " signals");
    for (const auto& record : decoded->records) {
        state.cachedSignals.push_back(record);
    }
    trimToCacheLimitLocked(state);
}

}  // namespace vorn::tally
