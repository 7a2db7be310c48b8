#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RecentlyUsed.h"
#include "RunLoop.h"

namespace vorn::platform::x11 {

// The user's recently-used list ($XDG_DATA_HOME/recently-used.xbel), kept current: its directory
// is watched with inotify on the run loop, and every change is read again a piece per turn of
// the loop, so that no caller ever waits for the file. Until a read is complete the last
// complete one stays in use. A file over the size limit, one that is not a regular file and a
// malformed one count as an empty list, with one log line until the problem changes. Main
// thread only; the run loop must outlive it.
class RecentlyUsedList {
public:
    static constexpr std::uintmax_t maxFileSize = 10u << 20;
    // What one turn of the loop reads and parses: about a millisecond's work.
    static constexpr std::size_t readPiece = 256u << 10;

    RecentlyUsedList(RunLoop& runLoop, std::filesystem::path file);
    ~RecentlyUsedList();
    RecentlyUsedList(const RecentlyUsedList&) = delete;
    RecentlyUsedList& operator=(const RecentlyUsedList&) = delete;

    // Starts watching and the first read on the first call; later calls try again, now and then,
    // to watch a directory that did not exist yet. Returns at once.
    void use();
    // The files as last read in full; empty before the first read ends and without a file.
    const std::vector<RecentFile>& files() const { return m_files; }
    // Grows whenever files() changes.
    std::uint64_t generation() const { return m_generation; }
    // Called on the main thread after files() changed.
    void onChange(std::function<void()> callback) { m_onChange = std::move(callback); }

private:
    struct Reading;

    void watchDirectory();
    void onDirectoryEvents();
    void startReading();
    void scheduleRead();
    void readPieceNow();
    void finishReading(std::optional<std::vector<RecentFile>> files, const std::string& problem);

    RunLoop& m_runLoop;
    std::filesystem::path m_file;
    bool m_used = false;
    int m_inotify = -1;
    int m_directoryWatch = -1;
    std::optional<WatchID> m_watch;
    std::optional<MonotonicTime> m_lastWatchAttempt;

    std::unique_ptr<Reading> m_reading;
    std::uint64_t m_readingSerial = 0;
    std::vector<RecentFile> m_files;
    std::uint64_t m_generation = 0;
    std::string m_lastProblem;
    std::function<void()> m_onChange;

    // Tasks already posted hold this weakly and do nothing once it is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// $XDG_DATA_HOME/recently-used.xbel, else ~/.local/share/recently-used.xbel; empty without
// either.
std::filesystem::path defaultRecentlyUsedFile();

}  // namespace vorn::platform::x11
