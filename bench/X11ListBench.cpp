// Lists N real windows (N = 20, 100, 300) with the X11 backend and with `wmctrl -l -G -p` on a
// private Xvfb with openbox, and prints the median times and their ratio. The backend's list
// is the window layer's enumeration; "with titles" adds one title read per window, which is
// what wmctrl prints too.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "Accessibility.h"
#include "PollRunLoop.h"
#include "WindowEnumerator.h"
#include "X11Backend.h"
#include "X11Parts.h"
#include "XvfbSession.h"

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int rounds = 15;
constexpr int windowsPerProcess = 10;

template <typename F>
double medianMilliseconds(F&& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
    const auto ownPID = static_cast<std::int32_t>(::getpid());

    std::printf("%6s %14s %20s %14s %12s %12s %14s\n", "N", "backend (ms)", "with titles (ms)",
                "wmctrl (ms)", "ratio", "ratio+titles", "us per window");
    std::size_t open = 0;
    for (std::size_t n : {20u, 100u, 300u}) {
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
        auto first = WindowEnumerator::currentScreenWindows(services.windowServer, ownPID);
        if (!first || first->size() != n) {
            std::fprintf(stderr, "vorn-x11-bench: listed %zu of %zu windows\n",
                         first ? first->size() : 0, n);
            return 1;
        }
        const double list = medianMilliseconds(
            [&] { (void)WindowEnumerator::currentScreenWindows(services.windowServer, ownPID); });
        const double titled = medianMilliseconds([&] {
            auto windows = WindowEnumerator::currentScreenWindows(services.windowServer, ownPID);
            for (const EnumeratedWindow& w : *windows) {
                (void)services.accessibility.copyAttributeValue(
                    platform::x11::makeWindowElement(w.ownerPID, w.windowID), "AXTitle");
            }
        });
        const double wmctrl = medianMilliseconds([&] {
            (void)session.run({"wmctrl", "-l", "-G", "-p"});
        });
        std::printf("%6zu %14.2f %20.2f %14.2f %11.1fx %11.1fx %14.1f\n", n, list, titled, wmctrl,
                    wmctrl / list, wmctrl / titled, 1000.0 * list / static_cast<double>(n));
    }
    return 0;
}
