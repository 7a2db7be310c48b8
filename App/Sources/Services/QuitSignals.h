#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace vorn {

// Turns SIGTERM, SIGINT and SIGHUP into bytes on a pipe, so that the application quits through
// its event loop, the way its Quit command does, instead of dying where it stands. The
// application watches the read end (for example with a socket notifier) and quits when it
// becomes readable.
class QuitSignals {
public:
    QuitSignals() = delete;

    // Installs the handlers, once per process; returns the pipe's read end (non-blocking,
    // closed on exec), the same on every call, or none when the pipe could not be made.
    static std::optional<int> install();
    // The signal numbers that arrived since the last call, oldest first; empty when none.
    static std::vector<int> takePending();

    // From now on a quit, by one of the signals or announced by quitStarted(), ends the process
    // within the limit whatever its main thread is doing: a thread of its own waits that long,
    // then ends it with status 0 and a log line, unless the process has begun its ordinary end
    // by then. The state file is written atomically, so an end in the middle of a save keeps the
    // previous file. Once per process, after logging is set up; later calls do nothing.
    static void endWithin(std::chrono::milliseconds limit);
    // The program has begun to quit by itself (its Quit command). Any thread.
    static void quitStarted();
};

}  // namespace vorn
