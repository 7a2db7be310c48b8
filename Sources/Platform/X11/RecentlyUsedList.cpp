#include "RecentlyUsedList.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Log.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

// A directory that cannot be watched yet is tried again after this long.
constexpr auto watchRetry = std::chrono::seconds(2);

constexpr std::uint32_t directoryEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE
                                          | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

struct RecentlyUsedList::Reading {
    int fd = -1;
    std::uintmax_t total = 0;
    RecentlyUsedReader reader;
    std::string buffer = std::string(readPiece, '\0');

    ~Reading() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

RecentlyUsedList::RecentlyUsedList(RunLoop& runLoop, std::filesystem::path file)
    : m_runLoop(runLoop)
    , m_file(std::move(file)) {}

RecentlyUsedList::~RecentlyUsedList() {
    if (m_watch) {
        m_runLoop.unwatch(*m_watch);
    }
    if (m_inotify >= 0) {
        ::close(m_inotify);
    }
}

void RecentlyUsedList::use() {
    if (m_file.empty()) {
        return;
    }
    if (!m_used) {
        m_used = true;
        watchDirectory();
        startReading();
        return;
    }
    if (m_directoryWatch < 0
        && (!m_lastWatchAttempt || m_runLoop.now() - *m_lastWatchAttempt >= watchRetry)) {
        watchDirectory();
        // The file may have come with its directory.
        if (m_directoryWatch >= 0) {
            startReading();
        }
    }
}

void RecentlyUsedList::watchDirectory() {
    m_lastWatchAttempt = m_runLoop.now();
    if (m_inotify < 0) {
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify < 0) {
            vornWMLog().notice("x11: recently used list not watched error=", std::strerror(errno));
            return;
        }
        m_watch = m_runLoop.watchReadable(m_inotify, [this] { onDirectoryEvents(); });
    }
    m_directoryWatch =
        ::inotify_add_watch(m_inotify, m_file.parent_path().c_str(), directoryEvents);
    if (m_directoryWatch < 0) {
        vornWMLog().debug("x11: recently used list not watched yet path=", m_file.string(),
                          " error=", std::strerror(errno));
    }
}

void RecentlyUsedList::onDirectoryEvents() {
    alignas(inotify_event) std::array<char, 8192> buffer;
    bool changed = false;
    for (;;) {
        const ssize_t length = ::read(m_inotify, buffer.data(), buffer.size());
        if (length <= 0) {
            if (length < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                changed = true;
                continue;
            }
            if (event->wd != m_directoryWatch) {
                continue;
            }
            if ((event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
                // The directory went away: its file with it. Watch again once it is back.
                if ((event->mask & IN_IGNORED) == 0) {
                    (void)::inotify_rm_watch(m_inotify, m_directoryWatch);
                }
                m_directoryWatch = -1;
                changed = true;
                continue;
            }
            if (event->len > 0 && m_file.filename() == event->name) {
                changed = true;
            }
        }
    }
    if (changed) {
        startReading();
    }
}

void RecentlyUsedList::startReading() {
    // A read under way is of an older file: start over.
    m_reading.reset();
    ++m_readingSerial;
    const int fd = ::open(m_file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            finishReading(std::vector<RecentFile>{}, {});
        } else {
            finishReading(std::nullopt, std::strerror(errno));
        }
        return;
    }
    auto reading = std::make_unique<Reading>();
    reading->fd = fd;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        finishReading(std::nullopt, "not a regular file");
        return;
    }
    if (static_cast<std::uintmax_t>(status.st_size) > maxFileSize) {
        finishReading(std::nullopt, "larger than 10 MB");
        return;
    }
    m_reading = std::move(reading);
    scheduleRead();
}

void RecentlyUsedList::scheduleRead() {
    m_runLoop.post([alive = std::weak_ptr<bool>(m_alive), this, serial = m_readingSerial] {
        if (alive.expired() || serial != m_readingSerial || !m_reading) {
            return;
        }
        readPieceNow();
    });
}

void RecentlyUsedList::readPieceNow() {
    std::string& piece = m_reading->buffer;
    const ssize_t length = ::read(m_reading->fd, piece.data(), piece.size());
    if (length < 0) {
        if (errno == EINTR || errno == EAGAIN) {
            scheduleRead();
        } else {
            finishReading(std::nullopt, std::strerror(errno));
        }
        return;
    }
    if (length == 0) {
        auto files = m_reading->reader.finish();
        const std::string problem =
            files ? std::string() : "malformed: " + m_reading->reader.error();
        finishReading(std::move(files), problem);
        return;
    }
    m_reading->total += static_cast<std::uintmax_t>(length);
    if (m_reading->total > maxFileSize) {
        finishReading(std::nullopt, "larger than 10 MB");
        return;
    }
    if (!m_reading->reader.feed(std::string_view(piece.data(), static_cast<std::size_t>(length)))) {
        finishReading(std::nullopt, "malformed: " + m_reading->reader.error());
        return;
    }
    scheduleRead();
}

void RecentlyUsedList::finishReading(std::optional<std::vector<RecentFile>> files,
                                     const std::string& problem) {
    m_reading.reset();
    if (files) {
        m_lastProblem.clear();
    } else if (problem != m_lastProblem) {
        m_lastProblem = problem;
        vornWMLog().notice("x11: recently used list ignored reason=", problem,
                           " path=", m_file.string());
    }
    std::vector<RecentFile> adopted = files ? std::move(*files) : std::vector<RecentFile>{};
    if (adopted != m_files) {
        m_files = std::move(adopted);
        ++m_generation;
        vornWMLog().debug("x11: recently used list read files=", m_files.size());
        if (m_onChange) {
            m_onChange();
        }
    }
}

std::filesystem::path defaultRecentlyUsedFile() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/') {
        return std::filesystem::path(dataHome) / "recently-used.xbel";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') {
        return std::filesystem::path(home) / ".local/share/recently-used.xbel";
    }
    return {};
}

}  // namespace vorn::platform::x11
