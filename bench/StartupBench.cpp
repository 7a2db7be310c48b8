// Starts the vorn program on a private Xvfb desktop with openbox and 50 windows and measures the
// time from starting the process to its sidebar panel being shown, and the resident memory once
// it has settled. Prints the median of several starts. VORN_PROGRAM names another build of the
// program to measure instead.
//
// With "--tabs N..." it starts the program instead on a state file of N pinned tabs whose
// windows are gone, for each N, and measures the time to the panel, the CPU time it uses while
// idle, its resident memory, and how soon it ends on SIGTERM when idle and when sent during its
// start.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

#include "Models.h"
#include "TempDir.h"
#include "XvfbSession.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

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

// User and system CPU time of the process so far, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold spaces, are counted from its ")".
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) {
        values.push_back(value);
    }
    if (values.size() < 13) {
        return 0;
    }
    const double ticks = std::stod(values[11]) + std::stod(values[12]);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double millisecondsSince(SteadyClock::time_point begin) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - begin).count();
}

// The state file: one space of `count` pinned tabs of the test window's application, bound to
// nothing, each with a title no window has, so that every full refresh tries to bind them all.
std::string manyTabs(std::size_t count) {
    vorn::AppState state;
    vorn::Space space;
    space.id = vorn::Uuid::random();
    space.name = "Many";
    space.tabs.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        vorn::SpaceTab tab;
        tab.id = vorn::Uuid::random();
        tab.app = vorn::AppRef{"VornTestWindow", "Test Window"};
        tab.lastTitle = "Closed notes " + std::to_string(n);
        tab.order = static_cast<std::int64_t>(n);
        space.tabs.push_back(std::move(tab));
    }
    state.spaces.push_back(std::move(space));
    return vorn::encodeStateFile(state).value_or("");
}

// The time from SIGTERM to the process's end, in milliseconds; none after ten seconds.
std::optional<double> stopTime(vorn::test::XvfbSession& session, pid_t pid) {
    const auto begin = SteadyClock::now();
    ::kill(pid, SIGTERM);
    if (!session.waitUntilExited(pid, std::chrono::seconds(10))) {
        session.stop(pid);
        return std::nullopt;
    }
    return millisecondsSince(begin);
}

std::string figure(std::optional<double> ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ms", ms.value_or(-1));
    return ms ? text : "over 10 s";
}

int measureTabs(vorn::test::XvfbSession& session,
                const std::string& program,
                const std::vector<std::size_t>& counts) {
    using namespace vorn;
    constexpr int rounds = 3;
    constexpr auto idleTime = std::chrono::seconds(20);
    std::printf("%d starts per case; idle CPU over %lld s after the panel showed and 3 s passed\n",
                rounds, static_cast<long long>(idleTime.count()));
    for (const std::size_t count : counts) {
        const std::string file = manyTabs(count);
        std::vector<double> panel;
        std::vector<double> idle;
        std::vector<long> memory;
        std::vector<std::optional<double>> stopIdle;
        std::vector<std::optional<double>> stopStarting;
        for (int round = 0; round < rounds; ++round) {
            test::TempDir data;
            test::writeText(data / "consent.json",
                            R"({"disclosureShownVersion":"bench","telemetryEnabled":false})");
            test::writeText(data / "state.json", file);
            const std::map<std::string, std::string> environment = {
                {"VORN_DATA_DIR", data.path().string()}};
            const auto begin = SteadyClock::now();
            const auto pid =
                session.spawn({"/bin/sh", "-c", "exec \"$0\" 2>/dev/null", program}, environment);
            if (!pid) {
                std::fprintf(stderr, "vorn-startup-bench: vorn did not start\n");
                return 1;
            }
            if (!session.waitFor([&] { return panelShown(session, *pid); },
                                 std::chrono::seconds(120))) {
                std::fprintf(stderr, "vorn-startup-bench: no panel within 120 s for %zu tabs\n",
                             count);
                session.stop(*pid);
                return 1;
            }
            panel.push_back(millisecondsSince(begin));
            std::this_thread::sleep_for(std::chrono::seconds(3));
            const double before = cpuSeconds(*pid);
            std::this_thread::sleep_for(idleTime);
            idle.push_back(100.0 * (cpuSeconds(*pid) - before) / idleTime.count());
            memory.push_back(residentKiB(*pid).value_or(0));
            stopIdle.push_back(stopTime(session, *pid));

            // The same file again, with SIGTERM half a second into the start.
            test::writeText(data / "state.json", file);
            const auto again =
                session.spawn({"/bin/sh", "-c", "exec \"$0\" 2>/dev/null", program}, environment);
            if (!again) {
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            stopStarting.push_back(stopTime(session, *again));
        }
        const auto slowest = [](const std::vector<std::optional<double>>& times) {
            std::optional<double> worst = 0.0;
            for (const auto& time : times) {
                worst = time && worst ? std::optional(std::max(*time, *worst)) : std::nullopt;
            }
            return worst;
        };
        std::printf("%zu tabs\n", count);
        std::printf("  process start to panel shown: %8.0f ms (median)\n", median(panel));
        std::printf("  CPU while idle:               %8.3f %% (median)\n", median(idle));
        std::printf("  resident memory when idle:    %8.1f MiB (median)\n",
                    median(memory) / 1024.0);
        std::printf("  SIGTERM to end, idle:         %11s (slowest)\n",
                    figure(slowest(stopIdle)).c_str());
        std::printf("  SIGTERM to end, starting:     %11s (slowest)\n",
                    figure(slowest(stopStarting)).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vorn;
    std::vector<std::size_t> tabCounts;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--tabs") {
            continue;
        }
        tabCounts.push_back(std::stoul(argv[i]));
    }
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
    // Another build of the program may be measured on the same desktop, for a comparison.
    const char* other = std::getenv("VORN_PROGRAM");
    const std::string program = other != nullptr && *other != '\0' ? other : VORN_PROGRAM;
    if (!tabCounts.empty()) {
        return measureTabs(session, program, tabCounts);
    }
    test::TempDir data;
    test::writeText(data / "consent.json",
                    R"({"disclosureShownVersion":"bench","telemetryEnabled":false})");

    std::vector<double> times;
    std::vector<long> memory;
    for (int i = 0; i < starts; ++i) {
        const auto begin = SteadyClock::now();
        // The program's log goes to standard error when there is no journal: keep it out.
        const auto pid = session.spawn({"/bin/sh", "-c", "exec \"$0\" 2>/dev/null", program},
                                       {{"VORN_DATA_DIR", data.path().string()}});
        if (!pid) {
            std::fprintf(stderr, "vorn-startup-bench: vorn did not start\n");
            return 1;
        }
        const bool shown =
            session.waitFor([&] { return panelShown(session, *pid); }, std::chrono::seconds(20));
        const auto end = SteadyClock::now();
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
