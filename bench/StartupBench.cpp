// Starts the vorn program on a private Xvfb desktop with openbox and 50 windows and measures the
// time from starting the process to its sidebar panel being shown, and the resident memory once
// it has settled. Prints the median of several starts. VORN_PROGRAM names another build of the
// program to measure instead.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

#include "TempDir.h"
#include "XvfbSession.h"

#include <signal.h>
#include <sys/wait.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int starts = 7;
constexpr int windowCount = 50;
constexpr int panelWidth = 160;

// Whether the process shows a panel-shaped window: one of its managed windows, mapped, 160 wide.
bool panelShown(vorn::test::XvfbSession& session, pid_t pid) {
    xcb_connection_t* c = session.connection();
    for (xcb_window_t window : session.clients()) {
        if (session.windowPID(window) != static_cast<std::uint32_t>(pid)) {
            continue;
        }
        auto attributesCookie = xcb_get_window_attributes(c, window);
        auto geometryCookie = xcb_get_geometry(c, window);
        auto* attributes = xcb_get_window_attributes_reply(c, attributesCookie, nullptr);
        auto* geometry = xcb_get_geometry_reply(c, geometryCookie, nullptr);
        const bool shown = attributes != nullptr && geometry != nullptr
                           && attributes->map_state == XCB_MAP_STATE_VIEWABLE
                           && geometry->width == panelWidth && geometry->height > panelWidth;
        std::free(attributes);
        std::free(geometry);
        if (shown) {
            return true;
        }
    }
    return false;
}

// VmRSS of the process in KiB.
std::optional<long> residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return std::nullopt;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    using namespace vorn;
    test::XvfbSession session;
    if (!session.start()) {
        std::fprintf(stderr, "vorn-startup-bench: %s\n", session.error().c_str());
        return 1;
    }
    if (!session.openTestWindow({"--title", "Bench window", "--count", std::to_string(windowCount)},
                                windowCount)) {
        std::fprintf(stderr, "vorn-startup-bench: windows did not open\n");
        return 1;
    }
    test::TempDir data;
    test::writeText(data / "consent.json",
                    R"({"disclosureShownVersion":"bench","telemetryEnabled":false})");

    // Another build of the program may be measured on the same desktop, for a comparison.
    const char* other = std::getenv("VORN_PROGRAM");
    const std::string program = other != nullptr && *other != '\0' ? other : VORN_PROGRAM;
    std::vector<double> times;
    std::vector<long> memory;
    for (int i = 0; i < starts; ++i) {
        const auto begin = Clock::now();
        // The program's log goes to standard error when there is no journal: keep it out.
        const auto pid = session.spawn({"/bin/sh", "-c", "exec \"$0\" 2>/dev/null", program},
                                       {{"VORN_DATA_DIR", data.path().string()}});
        if (!pid) {
            std::fprintf(stderr, "vorn-startup-bench: vorn did not start\n");
            return 1;
        }
        const bool shown =
            session.waitFor([&] { return panelShown(session, *pid); }, std::chrono::seconds(20));
        const auto end = Clock::now();
        if (!shown) {
            std::fprintf(stderr, "vorn-startup-bench: no panel within 20 s\n");
            session.stop(*pid);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
        // Settled: the first refreshes after start are over.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        memory.push_back(residentKiB(*pid).value_or(0));
        session.stop(*pid);
    }
    std::printf("%d windows, median of %d starts\n", windowCount, starts);
    std::printf("  process start to panel shown: %8.1f ms (fastest %.1f ms)\n", median(times),
                *std::min_element(times.begin(), times.end()));
    std::printf("  resident memory after start:  %8.1f MiB\n", median(memory) / 1024.0);
    return 0;
}
