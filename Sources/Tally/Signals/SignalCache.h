#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "Helpers/LogHandler.h"
#include "Signals/SignalPostBody.h"

namespace vorn::tally {

// The records not delivered yet, oldest first, never more than the limit: beyond it the
// oldest waiting records are dropped.
//
// The cache lives in its file, so that records outlive a process that ends without warning
// (a lost X connection, a crash, SIGKILL): every change is written there soon after, on a thread
// of the cache's own, changes made meanwhile together, atomically. A batch checked out for a
// delivery attempt stays in the file until it is settled, so a batch in flight when the process
// ends is sent again by the next one. The previous run's file is loaded on the same thread;
// operations that read the records wait for it, pushes do not.
//
// One cache at a time owns a file: a newer cache on the same file takes it over (the older one
// writes its records there first, then keeps in memory only what it gets afterwards, and never
// writes again). Every operation is synchronous and safe from any thread.
class SignalCache {
public:
    static constexpr std::size_t maximumNumberOfSignalsToPopAtOnce = 100;
    static constexpr const char* cacheFileName = "tallysignalcache";

    // Records checked out for one delivery attempt.
    struct Batch {
        std::uint64_t ticket = 0;
        std::vector<SignalPostBody> records;
    };

    // Starts loading the file (by default the default file) and returns. A negative limit
    // counts as zero.
    SignalCache(std::optional<LogHandler> logHandler,
                long long cacheLimit,
                std::optional<std::filesystem::path> fileURL = std::nullopt);
    // Writes what is not written yet, then stops the cache's thread.
    ~SignalCache();

    SignalCache(const SignalCache&) = delete;
    SignalCache& operator=(const SignalCache&) = delete;

    // "<caches directory>/<program name>/tallysignalcache": a folder of the program's own, so
    // that two programs using the client never share one file.
    static std::optional<std::filesystem::path> defaultFileURL();

    void push(SignalPostBody signal);
    // Appends in order, then drops the oldest beyond the limit.
    void push(std::vector<SignalPostBody> signals);
    // Removes and returns the oldest waiting records, at most 100, for good.
    std::vector<SignalPostBody> pop();
    // Takes the oldest waiting records, at most 100, for a delivery attempt. They stay in the
    // file until settle() or giveBack().
    Batch checkOut();
    // The batch was delivered, or rejected for good: its records leave the file.
    void settle(std::uint64_t ticket);
    // The batch failed: the records (the batch as it was sent) go back after everything waiting,
    // then the oldest beyond the limit are dropped. A ticket the cache no longer knows (after
    // erase() or a takeover) changes nothing.
    void giveBack(std::uint64_t ticket, std::vector<SignalPostBody> records);
    // The waiting records, not counting those checked out.
    std::size_t count() const;
    // Writes every record, waiting and checked out, to the file before returning. On failure
    // the records stay in memory.
    void backupCache();
    // Forgets every record and deletes the file; from then on the cache keeps and writes
    // nothing.
    void erase();
    // Waits until every change made so far is written (or found unwritable); false after the
    // timeout.
    bool waitUntilWritten(std::chrono::milliseconds timeout) const;

private:
    struct State {
        std::deque<SignalPostBody> waiting;
        std::map<std::uint64_t, std::vector<SignalPostBody>> checkedOut;
        std::uint64_t lastTicket = 0;
        bool loaded = false;
        // Erased or taken over: nothing is written any more.
        bool silent = false;
        // Erased: nothing is kept any more either.
        bool erased = false;
        bool stopping = false;
        // Every change counts one up; written is the count the file last caught up with.
        std::uint64_t changes = 0;
        std::uint64_t written = 0;
        bool writeFailing = false;
    };

    void log(LogHandler::LogLevel level, const std::string& message) const;
    void run();
    void load();
    // Writes the current records; called with m_fileMutex held and m_mutex not held. Returns
    // the encoded size, or none when nothing could be written.
    std::optional<std::size_t> writeLocked(bool reportEveryFailure);
    void changedLocked();
    void trimLocked();
    void waitUntilLoadedLocked(std::unique_lock<std::mutex>& lock) const;
    // Called by a newer cache on the same file.
    void yieldFile();

    const std::optional<LogHandler> m_logHandler;
    const std::size_t m_cacheLimit;
    const std::optional<std::filesystem::path> m_file;
    // Taken before m_mutex whenever both are held: serialises writing and deleting the file.
    std::mutex m_fileMutex;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    State m_state;
    std::thread m_worker;
};

}  // namespace vorn::tally
