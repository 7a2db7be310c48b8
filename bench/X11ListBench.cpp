// Lists N real windows (N = 20, 100, 300, 1000) with the X11 backend and with `wmctrl -l -G -p` on
// a private Xvfb with openbox, and prints the median times and their ratios. The backend's list
// is the window layer's enumeration; the full listing is everything one refresh of the sidebar
// reads (the window manager's listWindows: owners, frames, titles, applications), which is what
// wmctrl prints too. Both are measured as if every window had changed (the backend then reads
// every part of every window again); the full listing also as a refresh finds it when nothing
// changed, with the number of requests it then sends to the X server, and after one window's
// title changed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "AXPrivate.h"
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

// The work is timed; what prepares each round is not.
template <typename P, typename F>
double medianMilliseconds(P&& prepare, F&& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        prepare(i);
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename F>
double medianMilliseconds(F&& work) {
    return medianMilliseconds([](int) {}, std::forward<F>(work));
}

}  // namespace

int main() {
    using namespace vorn;
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
    const auto ownPID = static_cast<std::int32_t>(::getpid());

    std::printf("%6s %13s %13s %15s %9s %12s %12s %10s %12s\n", "N", "backend (ms)", "full (ms)",
                "unchanged (ms)", "requests", "one title", "wmctrl (ms)", "wmctrl/b",
                "wmctrl/full");
    std::size_t open = 0;
    for (std::size_t n : {20u, 100u, 300u, 1000u}) {
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
        const double list = medianMilliseconds([&] {
            backend.forgetWindows();
            (void)WindowEnumerator::currentScreenWindows(services.windowServer, ownPID);
        });
        const double full = medianMilliseconds([&] {
            backend.forgetWindows();
            (void)manager->listWindows();
        });
        const double unchanged = medianMilliseconds([&] { (void)manager->listWindows(); });
        const std::uint32_t before = backend.probeSequence();
        (void)manager->listWindows();
        const std::uint32_t requests = backend.probeSequence() - before - 1;
        const xcb_window_t retitled = first->front().windowID.raw;
        const double oneTitle = medianMilliseconds(
            [&](int round) {
                const std::string title = "Bench window " + std::to_string(round);
                xcb_change_property(session.connection(), XCB_PROP_MODE_REPLACE, retitled,
                                    session.atom("_NET_WM_NAME"), session.atom("UTF8_STRING"), 8,
                                    static_cast<std::uint32_t>(title.size()), title.data());
                session.sync();
                (void)backend.roundTrip();
            },
            [&] { (void)manager->listWindows(); });
        const double wmctrl = medianMilliseconds([&] {
            (void)session.run({"wmctrl", "-l", "-G", "-p"});
        });
        std::printf("%6zu %13.2f %13.2f %15.3f %9u %12.2f %12.2f %9.1fx %11.1fx\n", n, list, full,
                    unchanged, requests, oneTitle, wmctrl, wmctrl / list, wmctrl / full);
    }
    return 0;
}
