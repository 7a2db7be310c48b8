// Lists N real windows (N = 20, 100, 300, 1000, or the counts in VORN_BENCH_WINDOWS) with the
// X11 backend and with `wmctrl -l -G -p` on a private Xvfb with openbox, and prints the median
// times and their ratios. The backend's list is the window layer's enumeration; the full listing
// is everything one refresh of the sidebar reads (the window manager's listWindows: owners,
// frames, titles, applications), which is what wmctrl prints too. Both are measured as if every
// window had changed (the backend then reads every part of every window again). With nothing
// changed the listing is measured twice: as the program makes it, where the window manager
// watches for changes and reuses its last listing until a notification arrives ("unchanged"),
// and as a walk over every window that finds nothing marked ("walk"); each with the number of
// requests it sends to the X server. "One title" is the walk after one window's title changed.
// The program's log level is the program's own (notice).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "AXPrivate.h"
#include "Log.h"
#include "MacWindowManager.h"
#include "PollRunLoop.h"
#include "WindowEnumerator.h"
#include "WindowLayerContext.h"
#include "X11Backend.h"
#include "XvfbSession.h"

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int rounds = 15;
constexpr int windowsPerProcess = 10;

// The work is timed; what prepares each round is not. The work runs as a task of the run loop,
// where the program's listings run: there the connection's watch reads the server's events.
template <typename P, typename F>
double medianMilliseconds(vorn::platform::PollRunLoop& runLoop, P&& prepare, F&& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        prepare(i);
        runLoop.post([&] {
            const auto start = Clock::now();
            work();
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        });
        (void)runLoop.runUntil(runLoop.now());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename F>
double medianMilliseconds(vorn::platform::PollRunLoop& runLoop, F&& work) {
    return medianMilliseconds(
        runLoop, [](int) {}, std::forward<F>(work));
}

// VORN_BENCH_WINDOWS ("100 1000"), else 20, 100, 300 and 1000.
std::vector<std::size_t> windowCounts() {
    std::vector<std::size_t> counts;
    if (const char* chosen = std::getenv("VORN_BENCH_WINDOWS")) {
        std::istringstream words(chosen);
        for (std::size_t n = 0; words >> n;) {
            counts.push_back(n);
        }
    }
    if (counts.empty()) {
        counts = {20, 100, 300, 1000};
    }
    return counts;
}

}  // namespace

int main() {
    using namespace vorn;
    setMinimumLogLevel(LogLevel::notice);
    test::XvfbSession session;
    if (!session.start()) {
        std::fprintf(stderr, "vorn-x11-bench: %s\n", session.error().c_str());
        return 1;
    }
    platform::PollRunLoop runLoop;
    platform::x11::X11Options options;
    options.display = session.display();
    platform::x11::X11Backend backend(runLoop, options);
    platform::Services services = backend.services();
    AXPrivate privateCalls(services.loader);
    const WindowLayerContext context{services, privateCalls};
    const auto manager = MacWindowManager::create(context, std::nullopt);
    // A second manager that watches for changes, as the program's does.
    const auto watching = MacWindowManager::create(context, std::nullopt);
    watching->observe([](WindowChange) {});
    const auto ownPID = static_cast<std::int32_t>(::getpid());
    // The requests a call sends: the difference of two sequence numbers, less the probe's own.
    const auto requestsOf = [&](auto&& call) {
        const std::uint32_t before = backend.probeSequence();
        call();
        return backend.probeSequence() - before - 1;
    };

    std::printf("%6s %13s %11s %14s %9s %11s %9s %12s %12s %9s %12s\n", "N", "backend (ms)",
                "full (ms)", "unchanged (ms)", "requests", "walk (ms)", "requests",
                "one title (ms)", "wmctrl (ms)", "wmctrl/b", "wmctrl/full");
    std::size_t open = 0;
    for (std::size_t n : windowCounts()) {
        while (open < n) {
            if (!session.openTestWindow(
                    {"--title", "Bench window", "--count", std::to_string(windowsPerProcess)},
                    windowsPerProcess)) {
                std::fprintf(stderr, "vorn-x11-bench: windows did not open\n");
                return 1;
            }
            open += windowsPerProcess;
        }
        // Everything listed at least once, and the window manager done with the new windows.
        (void)session.syncWindowManager();
        auto first = manager->listWindows();
        if (!first || first->size() != n) {
            std::fprintf(stderr, "vorn-x11-bench: listed %zu of %zu windows\n",
                         first ? first->size() : 0, n);
            return 1;
        }
        const double list = medianMilliseconds(runLoop, [&] {
            backend.forgetWindows();
            (void)WindowEnumerator::currentScreenWindows(services.windowServer, ownPID);
        });
        const double full = medianMilliseconds(runLoop, [&] {
            backend.forgetWindows();
            (void)manager->listWindows();
        });
        // The notifications of the new windows reach the watching manager, which lists again.
        (void)backend.roundTrip();
        (void)runLoop.runUntil(runLoop.now());
        const auto watched = watching->listWindows();
        if (!watched || watched->size() != n) {
            std::fprintf(stderr, "vorn-x11-bench: the watching manager listed %zu of %zu\n",
                         watched ? watched->size() : 0, n);
            return 1;
        }
        (void)manager->listWindows();
        const double unchanged =
            medianMilliseconds(runLoop, [&] { (void)watching->listWindows(); });
        const std::uint32_t unchangedRequests = requestsOf([&] { (void)watching->listWindows(); });
        const double walk = medianMilliseconds(runLoop, [&] { (void)manager->listWindows(); });
        const std::uint32_t walkRequests = requestsOf([&] { (void)manager->listWindows(); });
        const xcb_window_t retitled = first->front().windowID.raw;
        const double oneTitle = medianMilliseconds(
            runLoop,
            [&](int round) {
                const std::string title = "Bench window " + std::to_string(round);
                xcb_change_property(session.connection(), XCB_PROP_MODE_REPLACE, retitled,
                                    session.atom("_NET_WM_NAME"), session.atom("UTF8_STRING"), 8,
                                    static_cast<std::uint32_t>(title.size()), title.data());
                session.sync();
                (void)backend.roundTrip();
            },
            [&] { (void)manager->listWindows(); });
        const double wmctrl = medianMilliseconds(runLoop, [&] {
            (void)session.run({"wmctrl", "-l", "-G", "-p"});
        });
        std::printf("%6zu %13.2f %11.2f %14.4f %9u %11.3f %9u %12.2f %12.2f %8.1fx %11.1fx\n", n,
                    list, full, unchanged, unchangedRequests, walk, walkRequests, oneTitle, wmctrl,
                    wmctrl / list, wmctrl / full);
    }
    return 0;
}
