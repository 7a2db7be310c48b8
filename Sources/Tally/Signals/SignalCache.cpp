#include "Signals/SignalCache.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "FileIO.h"
#include "Paths.h"

#include <pthread.h>

namespace vorn::tally {
namespace {

using LogLevel = LogHandler::LogLevel;

// Which cache owns which file in this process.
struct Owners {
    std::mutex mutex;
    std::map<std::string, SignalCache*> byFile;
};

Owners& owners() {
    // Never destroyed: caches may still be released while the process exits.
    static auto* instance = new Owners;
    return *instance;
}

}  // namespace

SignalCache::SignalCache(std::optional<LogHandler> logHandler,
                         long long cacheLimit,
                         std::optional<std::filesystem::path> fileURL)
    : m_logHandler(std::move(logHandler))
    , m_cacheLimit(cacheLimit < 0 ? 0 : static_cast<std::size_t>(cacheLimit))
    , m_file(fileURL ? std::move(fileURL) : defaultFileURL()) {
    if (m_file) {
        auto& registry = owners();
        std::lock_guard lock(registry.mutex);
        auto& owner = registry.byFile[m_file->string()];
        if (owner != nullptr) {
            // Its records reach the file before this cache reads it.
            owner->yieldFile();
        }
        owner = this;
    }
    m_worker = std::thread([this] { run(); });
    ::pthread_setname_np(m_worker.native_handle(), "tally.cache");
}

SignalCache::~SignalCache() {
    {
        std::lock_guard lock(m_mutex);
        m_state.stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
    // Only now: a cache that takes the file over meanwhile finds this one and waits for it.
    if (m_file) {
        auto& registry = owners();
        std::lock_guard lock(registry.mutex);
        const auto found = registry.byFile.find(m_file->string());
        if (found != registry.byFile.end() && found->second == this) {
            registry.byFile.erase(found);
        }
    }
}

std::optional<std::filesystem::path> SignalCache::defaultFileURL() {
    const auto caches = host::cachesDirectory();
    if (!caches) {
        return std::nullopt;
    }
    return *caches / host::applicationFolderName() / cacheFileName;
}

void SignalCache::push(SignalPostBody signal) {
    std::vector<SignalPostBody> one;
    one.push_back(std::move(signal));
    push(std::move(one));
}

void SignalCache::push(std::vector<SignalPostBody> signals) {
    if (signals.empty()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_state.erased) {
            return;
        }
        for (auto& signal : signals) {
            m_state.waiting.push_back(std::move(signal));
        }
        trimLocked();
        changedLocked();
    }
    m_changed.notify_all();
}

std::vector<SignalPostBody> SignalCache::pop() {
    std::vector<SignalPostBody> batch;
    {
        std::unique_lock lock(m_mutex);
        waitUntilLoadedLocked(lock);
        auto& waiting = m_state.waiting;
        const std::size_t n = std::min(waiting.size(), maximumNumberOfSignalsToPopAtOnce);
        const auto end = waiting.begin() + static_cast<std::ptrdiff_t>(n);
        batch.assign(std::make_move_iterator(waiting.begin()), std::make_move_iterator(end));
        waiting.erase(waiting.begin(), end);
        if (n > 0) {
            changedLocked();
        }
    }
    m_changed.notify_all();
    return batch;
}

SignalCache::Batch SignalCache::checkOut() {
    std::unique_lock lock(m_mutex);
    waitUntilLoadedLocked(lock);
    auto& waiting = m_state.waiting;
    const std::size_t n = std::min(waiting.size(), maximumNumberOfSignalsToPopAtOnce);
    if (n == 0) {
        return {};
    }
    Batch batch;
    batch.ticket = ++m_state.lastTicket;
    const auto end = waiting.begin() + static_cast<std::ptrdiff_t>(n);
    batch.records.assign(waiting.begin(), end);
    waiting.erase(waiting.begin(), end);
    // The file keeps checked-out batches ahead of the waiting records, oldest ticket first, so
    // its content is the same as before: nothing to write.
    m_state.checkedOut.emplace(batch.ticket, batch.records);
    return batch;
}

void SignalCache::settle(std::uint64_t ticket) {
    {
        std::lock_guard lock(m_mutex);
        if (m_state.checkedOut.erase(ticket) == 0) {
            return;
        }
        changedLocked();
    }
    m_changed.notify_all();
}

void SignalCache::giveBack(std::uint64_t ticket, std::vector<SignalPostBody> records) {
    {
        std::lock_guard lock(m_mutex);
        if (m_state.checkedOut.erase(ticket) == 0) {
            return;
        }
        for (auto& record : records) {
            m_state.waiting.push_back(std::move(record));
        }
        trimLocked();
        changedLocked();
    }
    m_changed.notify_all();
}

std::size_t SignalCache::count() const {
    std::unique_lock lock(m_mutex);
    waitUntilLoadedLocked(lock);
    return m_state.waiting.size();
}

void SignalCache::backupCache() {
    {
        std::unique_lock lock(m_mutex);
        waitUntilLoadedLocked(lock);
    }
    std::lock_guard file(m_fileMutex);
    std::size_t records = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_state.silent) {
            return;
        }
        records = m_state.waiting.size();
        for (const auto& [ticket, batch] : m_state.checkedOut) {
            records += batch.size();
        }
    }
    if (const auto size = writeLocked(true)) {
        log(LogLevel::info, "Saved Telemetry cache " + std::to_string(*size) + " bytes of "
                                + std::to_string(records) + " signals");
    }
}

void SignalCache::erase() {
    std::lock_guard file(m_fileMutex);
    {
        std::lock_guard lock(m_mutex);
        m_state.erased = true;
        m_state.silent = true;
        m_state.waiting.clear();
        m_state.checkedOut.clear();
        m_state.written = m_state.changes;
    }
    m_changed.notify_all();
    if (m_file) {
        std::error_code ignored;
        std::filesystem::remove(*m_file, ignored);
        fileio::removeStaleTemporaries(*m_file);
    }
}

bool SignalCache::waitUntilWritten(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] {
        return m_state.loaded && (m_state.silent || m_state.written == m_state.changes);
    });
}

void SignalCache::yieldFile() {
    {
        std::unique_lock lock(m_mutex);
        // Records still being loaded are only in the file: writing before they arrive would
        // drop them.
        waitUntilLoadedLocked(lock);
    }
    std::lock_guard file(m_fileMutex);
    (void)writeLocked(true);
    {
        std::lock_guard lock(m_mutex);
        m_state.silent = true;
        m_state.waiting.clear();
        m_state.checkedOut.clear();
        m_state.written = m_state.changes;
    }
    m_changed.notify_all();
}

void SignalCache::log(LogLevel level, const std::string& message) const {
    if (m_logHandler) {
        m_logHandler->log(level, message);
    }
}

void SignalCache::run() {
    load();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] {
            return m_state.stopping || (!m_state.silent && m_state.written != m_state.changes);
        });
        if (m_state.silent || m_state.written == m_state.changes) {
            return;
        }
        lock.unlock();
        {
            std::lock_guard file(m_fileMutex);
            bool behind = false;
            {
                // A backup may have written everything while this thread waited.
                std::lock_guard state(m_mutex);
                behind = !m_state.silent && m_state.written != m_state.changes;
            }
            if (behind) {
                (void)writeLocked(false);
            }
        }
        lock.lock();
    }
}

void SignalCache::load() {
    if (!m_file) {
        log(LogLevel::error, "Failed to get disk cache url from FileManager.");
        std::lock_guard lock(m_mutex);
        // Without a file the cache lives in memory only.
        m_state.loaded = true;
        m_state.silent = true;
        m_changed.notify_all();
        return;
    }
    log(LogLevel::info, "Loading Telemetry cache from: " + m_file->string());
    // A write interrupted by the end of the process leaves its temporary file beside the target.
    fileio::removeStaleTemporaries(*m_file);
    std::vector<SignalPostBody> loaded;
    bool rewrite = false;
    if (const auto data = fileio::readFile(*m_file)) {
        const auto decoded = JSONDecoder{}.decodeArray(*data);
        if (!decoded) {
            // Deleted: it would otherwise be read again at every start.
            std::remove(m_file->c_str());
            log(LogLevel::error, "Discarded unreadable Telemetry cache");
        } else {
            if (decoded->rejected > 0) {
                // One damaged record must not cost the others.
                log(LogLevel::error,
                    "Skipped " + std::to_string(decoded->rejected) + " unreadable cached signals");
                rewrite = true;
            }
            log(LogLevel::info, "Loaded " + std::to_string(decoded->records.size()) + " signals");
            loaded = decoded->records;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_state.loaded = true;
        if (!m_state.silent) {
            const std::size_t before = m_state.waiting.size() + loaded.size();
            // Older than anything pushed while loading.
            m_state.waiting.insert(m_state.waiting.begin(), std::make_move_iterator(loaded.begin()),
                                   std::make_move_iterator(loaded.end()));
            trimLocked();
            if (rewrite || m_state.waiting.size() != before) {
                changedLocked();
            }
        }
    }
    m_changed.notify_all();
}

std::optional<std::size_t> SignalCache::writeLocked(bool reportEveryFailure) {
    std::vector<SignalPostBody> records;
    std::uint64_t upTo = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_state.silent) {
            return std::nullopt;
        }
        for (const auto& [ticket, batch] : m_state.checkedOut) {
            records.insert(records.end(), batch.begin(), batch.end());
        }
        records.insert(records.end(), m_state.waiting.begin(), m_state.waiting.end());
        upTo = m_state.changes;
    }
    // A record that cannot be written is left out of the file rather than keeping the others
    // from it; delivery drops it too.
    const JSONEncoder encoder;
    std::string data = "[";
    for (const auto& record : records) {
        if (const auto object = encoder.encode(record)) {
            if (data.size() > 1) {
                data += ',';
            }
            data += *object;
        }
    }
    data += ']';
    auto result = fileio::createDirectories(m_file->parent_path());
    if (result.ok) {
        result = fileio::writeAtomically(*m_file, data);
    }
    bool failedBefore = false;
    {
        std::lock_guard lock(m_mutex);
        m_state.written = std::max(m_state.written, upTo);
        failedBefore = m_state.writeFailing;
        m_state.writeFailing = !result.ok;
    }
    m_changed.notify_all();
    if (!result.ok) {
        // One line for a lasting fault, not one per change.
        if (reportEveryFailure || !failedBefore) {
            log(LogLevel::error, "Error saving Telemetry cache");
        }
        return std::nullopt;
    }
    return data.size();
}

void SignalCache::changedLocked() {
    ++m_state.changes;
}

void SignalCache::trimLocked() {
    auto& waiting = m_state.waiting;
    if (waiting.size() > m_cacheLimit) {
        const auto excess = static_cast<std::ptrdiff_t>(waiting.size() - m_cacheLimit);
        waiting.erase(waiting.begin(), waiting.begin() + excess);
    }
}

void SignalCache::waitUntilLoadedLocked(std::unique_lock<std::mutex>& lock) const {
    m_changed.wait(lock, [this] { return m_state.loaded; });
}

}  // namespace vorn::tally
