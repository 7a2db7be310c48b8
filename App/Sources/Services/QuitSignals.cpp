#include "QuitSignals.h"

#include <cerrno>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace vorn {
namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

int writeEnd = -1;
int readEnd = -1;

void onQuitSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Non-blocking: with the pipe full, the application has enough reasons to quit already.
    [[maybe_unused]] const auto written = ::write(writeEnd, &byte, 1);
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
