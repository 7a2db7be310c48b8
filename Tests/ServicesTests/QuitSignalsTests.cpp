#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "QuitSignals.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn {
namespace {

TEST(QuitSignalsTests, SignalsBecomeReadableBytesInsteadOfAnEnd) {
    const auto fd = QuitSignals::install();
    ASSERT_TRUE(fd);
    EXPECT_EQ(QuitSignals::install(), fd);
    EXPECT_TRUE(QuitSignals::takePending().empty());

    ::raise(SIGTERM);
    ::raise(SIGHUP);
    ::raise(SIGINT);
    pollfd readable{*fd, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    EXPECT_EQ(QuitSignals::takePending(), (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    EXPECT_TRUE(QuitSignals::takePending().empty());
}

enum class Quit {
    bySignal,
    byCommand,
    byCommandThenSlowExit
};

// Forks a process whose main thread never returns to read the pipe, starts its quit by SIGTERM
// or by quitStarted(), and returns its wait status; none when it still runs after ten seconds.
// In the last case the main thread goes on to exit, and the end takes longer than the limit.
std::optional<int> statusOfBusyChild(Quit quit) {
    const bool bySignal = quit == Quit::bySignal;
    int ready[2];
    if (::pipe(ready) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // Runs last at exit, after every handler registered later.
        std::atexit([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::_exit(7);
        });
        (void)QuitSignals::install();
        QuitSignals::endWithin(std::chrono::milliseconds(100));
        const char byte = 1;
        (void)::write(ready[1], &byte, 1);
        if (!bySignal) {
            QuitSignals::quitStarted();
        }
        if (quit == Quit::byCommandThenSlowExit) {
            std::exit(0);
        }
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char byte = 0;
    // The handlers are in place: SIGTERM no longer ends the child by its default action.
    (void)::read(ready[0], &byte, 1);
    ::close(ready[0]);
    if (bySignal) {
        ::kill(child, SIGTERM);
    }
    int status = 0;
    for (int tries = 0; tries < 1000; ++tries) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return std::nullopt;
}

TEST(QuitSignalsTests, AQuitEndsTheProcessEvenWhenTheMainThreadNeverGetsToIt) {
    for (const Quit quit : {Quit::bySignal, Quit::byCommand, Quit::byCommandThenSlowExit}) {
        SCOPED_TRACE(static_cast<int>(quit));
        const auto status = statusOfBusyChild(quit);
        ASSERT_TRUE(status.has_value());
        ASSERT_TRUE(WIFEXITED(*status));
        // An ordinary end once begun is not cut short: by then the loggers the deadline would
        // write with may be gone.
        EXPECT_EQ(WEXITSTATUS(*status), quit == Quit::byCommandThenSlowExit ? 7 : 0);
    }
}

}  // namespace
}  // namespace vorn
