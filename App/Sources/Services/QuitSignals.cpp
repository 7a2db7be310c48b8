#include "QuitSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "Log.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorn {
namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

int writeEnd = -1;
int readEnd = -1;
// The write end of the pipe that starts the end's clock; -1 until endWithin(). Read in the
// signal handler, so lock-free.
std::atomic<int> deadlineWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);
// Held by the deadline thread while it logs and ends the process, and by the exit handler that
// tells it the process has begun its ordinary end: past that point the loggers may already be
// destroyed, and the end under way is the one the quit asked for.
std::mutex deadlineMutex;
bool exitBegun = false;

void startDeadline() {
    const int fd = deadlineWriteEnd.load();
    if (fd >= 0) {
        const unsigned char byte = 1;
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
}

void onQuitSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Non-blocking: with the pipe full, the application has enough reasons to quit already.
    [[maybe_unused]] const auto written = ::write(writeEnd, &byte, 1);
    // The main thread may be busy for long before it reads the pipe; the clock starts here.
    startDeadline();
    errno = savedErrno;
}

}  // namespace

std::optional<int> QuitSignals::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        readEnd = fds[0];
        writeEnd = fds[1];
        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (int signal : quitSignals) {
            ::sigaction(signal, &action, nullptr);
        }
    });
    if (readEnd < 0) {
        return std::nullopt;
    }
    return readEnd;
}

void QuitSignals::endWithin(std::chrono::milliseconds limit) {
    static std::once_flag once;
    std::call_once(once, [limit] {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            vornAppLog().error("quit deadline not set: no pipe");
            return;
        }
        const int readFd = fds[0];
        // The thread blocks on the read end until the first quit.
        ::fcntl(readFd, F_SETFL, ::fcntl(readFd, F_GETFL) & ~O_NONBLOCK);
        // Registered after the loggers were made, so it runs before they are destroyed.
        std::atexit([] {
            const std::lock_guard lock(deadlineMutex);
            exitBegun = true;
        });
        std::thread([readFd, limit] {
            unsigned char byte = 0;
            while (::read(readFd, &byte, 1) < 0 && errno == EINTR) {
            }
            std::this_thread::sleep_for(limit);
            const std::lock_guard lock(deadlineMutex);
            if (exitBegun) {
                return;
            }
            // Still here: the main thread did not get to its end in time. What is saved is
            // saved; nothing it could still do is worth keeping the user waiting.
            vornAppLog().notice("quit did not end within ", limit.count(), " ms; ending now");
            ::_exit(0);
        }).detach();
        deadlineWriteEnd.store(fds[1]);
    });
}

void QuitSignals::quitStarted() {
    startDeadline();
}

std::vector<int> QuitSignals::takePending() {
    std::vector<int> signals;
    if (readEnd < 0) {
        return signals;
    }
    unsigned char buffer[64];
    for (;;) {
        const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return signals;
        }
        signals.insert(signals.end(), buffer, buffer + n);
    }
}

}  // namespace vorn
