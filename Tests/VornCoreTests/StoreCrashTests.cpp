#include <chrono>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "Store.h"
#include "TempDir.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn {
namespace {

AppState generation(long long n) {
    AppState state;
    Space space;
    space.name = "Home";
    space.id = Uuid({1, 2, 3, 4, 5, 6, 0x40, 8, 0x80, 10, 11, 12, 13, 14, 15, 16});
    for (int i = 0; i < 20; ++i) {
        SpaceTab tab;
        tab.app = AppRef{"org.example.app" + std::to_string(i), "App"};
        tab.lastTitle = "window " + std::to_string(n) + "/" + std::to_string(i);
        tab.order = i;
        tab.id = Uuid({static_cast<std::uint8_t>(i), 0, 0, 0, 0, 0, 0x40, 0, 0x80});
        space.tabs.push_back(tab);
    }
    state.spaces.push_back(space);
    state.sessionToken = std::to_string(n);
    return state;
}

// A writer killed at any moment leaves the last or the one-before-last saved state, never a
// default and never an error.
TEST(JSONFileStoreCrashTests, KilledWriterLeavesALoadableRecentState) {
    test::TempDir dir;
    const auto path = dir / "data" / "state.json";
    long long saved = 0;
    {
        JSONFileStore store(path);
        ASSERT_TRUE(store.save(generation(saved)));
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicros(0, 12000);

    for (int round = 0; round < 200; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            JSONFileStore store(path);
            for (long long n = saved + 1;; ++n) {
                if (!store.save(generation(n))) {
                    ::_exit(3);
                }
                if (::write(fds[1], &n, sizeof n) != static_cast<ssize_t>(sizeof n)) {
                    ::_exit(4);
                }
            }
        }
        ::close(fds[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped on its own, status " << status;

        long long reported = saved;
        long long n = 0;
        while (::read(fds[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n)) {
            reported = n;
        }
        ::close(fds[0]);

        JSONFileStore store(path);
        const AppState loaded = store.load();
        ASSERT_EQ(loaded.spaces.size(), 1U) << "round " << round;
        ASSERT_TRUE(loaded.sessionToken) << "round " << round;
        const long long found = std::stoll(*loaded.sessionToken);
        // The save after the last reported one may have landed before the kill.
        ASSERT_TRUE(found == reported || found == reported + 1)
            << "round " << round << ": reported " << reported << ", found " << found;
        EXPECT_EQ(loaded, generation(found));
        saved = found;
    }
}

}  // namespace
}  // namespace vorn
