// How soon the sidebar shows a change of the desktop, and what a click costs: on a private Xvfb
// with openbox and 100 windows of one client, the program runs in this process (so that its rows
// can be found by name) at its own log level, and the time is taken from the change being sent
// to the X server to the row showing it: a window's new title, a new window's row, and the active
// mark on a newly activated window. Prints the median and the 95th percentile of 100 changes of
// each kind, and the program's CPU time per title change, the row drawn again included. Then 20
// clicks on rows of other windows, each bringing its window forward and placing it beside the
// sidebar: the time until the click's work has returned and the X requests it sent, with those of
// the frame's convergence (from the placement's decision to its log line) apart.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <xcb/xcb.h>

#include "AppDelegate.h"
#include "AppDependencies.h"
#include "Log.h"
#include "QtRunLoop.h"
#include "ScreenEvents.h"
#include "TabRow.h"
#include "TempDir.h"
#include "X11PlatformBackend.h"
#include "XvfbSession.h"

#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;
using vorn::app::TabRow;

constexpr int windowCount = 100;
constexpr int changes = 100;

TabRow* findRow(const std::function<bool(const TabRow&)>& matches) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        for (TabRow* row : top->findChildren<TabRow*>()) {
            if (row->isVisible() && matches(*row)) {
                return row;
            }
        }
    }
    return nullptr;
}

TabRow* ambientRow(xcb_window_t window) {
    const QString name = QStringLiteral("vorn.tab.ambient.%1").arg(window);
    return findRow([&](const TabRow& row) { return row.objectName() == name; });
}

// Runs the event loop until the condition holds, checking after every batch of events; false
// after five seconds.
bool waitUntil(const std::function<bool()>& condition) {
    bool expired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { expired = true; });
    guard.start(5000);
    while (!condition()) {
        if (expired) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void sendRootMessage(vorn::test::XvfbSession& session,
                     xcb_window_t window,
                     const std::string& type,
                     std::uint32_t first,
                     std::uint32_t second) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = session.atom(type);
    event.data.data32[0] = first;
    event.data.data32[1] = second;
    xcb_send_event(session.connection(), 0, session.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(session.connection());
}

void report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double p95 = times[(times.size() * 95) / 100 - 1];
    std::printf("  %-22s median %7.2f ms   p95 %7.2f ms   max %7.2f ms\n", what, median, p95,
                times.back());
}

double millisecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// The CPU time of the whole process, every thread, in milliseconds.
double processCPUMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Keeps the program's log quiet and marks where a click's frame convergence begins and ends:
// the sequence number of a request sent when the placement decides on a target, and when the
// frame's log line is written.
class PhaseSink final : public vorn::LogSink {
public:
    explicit PhaseSink(vorn::platform::x11::X11Backend& backend)
        : m_backend(backend) {}

    void write(vorn::LogLevel, std::string_view category, std::string_view message) override {
        const bool placing = category == "model" && message.rfind("place win=", 0) == 0
                             && message.find("-> target=") != std::string_view::npos;
        const bool placed = category == "axwindow" && message.rfind("setFrame win=", 0) == 0;
        if (!placing && !placed) {
            return;
        }
        const std::uint32_t sequence = m_backend.probeSequence();
        std::lock_guard lock(m_mutex);
        (placing ? m_placing : m_placed).push_back(sequence);
        ++m_probes;
    }

    // The requests between the last placement decision and the frame's line, without the
    // probe that marked the decision; 0 when the click placed nothing.
    std::uint32_t convergenceRequests() {
        std::lock_guard lock(m_mutex);
        if (m_placing.empty() || m_placed.empty()) {
            return 0;
        }
        return m_placed.back() - m_placing.back() - 1;
    }
    std::uint32_t takeProbes() {
        std::lock_guard lock(m_mutex);
        m_placing.clear();
        m_placed.clear();
        return std::exchange(m_probes, 0u);
    }

private:
    vorn::platform::x11::X11Backend& m_backend;
    std::mutex m_mutex;
    std::vector<std::uint32_t> m_placing;
    std::vector<std::uint32_t> m_placed;
    std::uint32_t m_probes = 0;
};

void reportCounts(const char* what, std::vector<double> values, const char* unit) {
    std::sort(values.begin(), values.end());
    std::printf("  %-22s median %7.2f %s   p95 %7.2f %s   max %7.2f %s\n", what,
                values[values.size() / 2], unit, values[(values.size() * 95) / 100 - 1], unit,
                values.back(), unit);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vorn;
    setMinimumLogLevel(LogLevel::notice);
    test::XvfbSession session;
    if (!session.start()) {
        std::fprintf(stderr, "vorn-freshness-bench: %s\n", session.error().c_str());
        return 1;
    }
    const auto program = session.openListeningTestWindow(
        {"--title", "Bench window", "--count", std::to_string(windowCount)}, windowCount);
    if (!program) {
        std::fprintf(stderr, "vorn-freshness-bench: windows did not open\n");
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(session.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    test::TempDir data;
    test::writeText(data / "consent.json",
                    R"({"disclosureShownVersion":"bench","telemetryEnabled":false})");
    auto runLoop = std::make_shared<app::QtRunLoop>();
    app::X11PlatformBackend backend(*runLoop);
    const auto phases = std::make_shared<PhaseSink>(backend.x11());
    setLogSink(phases);
    app::ScreenEvents events;
    events.followApplicationScreens();
    app::AppDependencies deps = app::standardDependencies(backend, events, runLoop);
    deps.dataDirectory = data.path();
    app::AppDelegate delegate(std::move(deps));
    delegate.applicationDidFinishLaunching();
    if (!waitUntil([&] {
            return std::all_of(program->windows.begin(), program->windows.end(),
                               [](xcb_window_t w) { return ambientRow(w) != nullptr; });
        })) {
        std::fprintf(stderr, "vorn-freshness-bench: the sidebar did not list the windows\n");
        return 1;
    }

    std::vector<double> titles;
    std::vector<double> titleCPU;
    for (int i = 0; i < changes; ++i) {
        const xcb_window_t window = program->windows[static_cast<std::size_t>(i) % windowCount];
        const std::string title = "Changed " + std::to_string(i);
        const QString expected = QString::fromStdString(title);
        const double cpuBefore = processCPUMilliseconds();
        const auto start = SteadyClock::now();
        xcb_change_property(session.connection(), XCB_PROP_MODE_REPLACE, window,
                            session.atom("_NET_WM_NAME"), session.atom("UTF8_STRING"), 8,
                            static_cast<std::uint32_t>(title.size()), title.data());
        xcb_flush(session.connection());
        if (!waitUntil([&] {
                const TabRow* row = ambientRow(window);
                return row != nullptr && row->title() == expected;
            })) {
            std::fprintf(stderr, "vorn-freshness-bench: title %d not shown\n", i);
            return 1;
        }
        titles.push_back(millisecondsSince(start));
        // The row drawn again.
        QCoreApplication::processEvents();
        titleCPU.push_back(processCPUMilliseconds() - cpuBefore);
    }

    std::vector<double> activations;
    for (int i = 0; i < changes; ++i) {
        // A different window each time, never the one already active.
        const xcb_window_t window =
            program->windows[(static_cast<std::size_t>(i) * 37 + 11) % windowCount];
        if (session.activeWindow() == window) {
            continue;
        }
        const auto start = SteadyClock::now();
        sendRootMessage(session, window, "_NET_ACTIVE_WINDOW", 2, XCB_CURRENT_TIME);
        if (!waitUntil([&] {
                const TabRow* row = ambientRow(window);
                return row != nullptr && row->isActive();
            })) {
            std::fprintf(stderr, "vorn-freshness-bench: activation %d not shown\n", i);
            return 1;
        }
        activations.push_back(millisecondsSince(start));
    }

    std::vector<double> mapped;
    for (int i = 0; i < changes; ++i) {
        const std::string title = "New window " + std::to_string(i);
        const QString expected = QString::fromStdString(title);
        const std::string command = "open " + title + "\n";
        const auto start = SteadyClock::now();
        if (::write(program->input, command.data(), command.size())
            != static_cast<ssize_t>(command.size())) {
            std::fprintf(stderr, "vorn-freshness-bench: the client took no command\n");
            return 1;
        }
        TabRow* row = nullptr;
        if (!waitUntil([&] {
                row = findRow([&](const TabRow& r) { return r.title() == expected; });
                return row != nullptr;
            })) {
            std::fprintf(stderr, "vorn-freshness-bench: new window %d not shown\n", i);
            return 1;
        }
        mapped.push_back(millisecondsSince(start));
        // Closed again, so that the desktop keeps its 100 windows.
        const QString name = row->objectName();
        const auto window = static_cast<xcb_window_t>(name.section('.', -1).toUInt());
        sendRootMessage(session, window, "_NET_CLOSE_WINDOW", XCB_CURRENT_TIME, 2);
        if (!waitUntil([&] { return ambientRow(window) == nullptr; })) {
            std::fprintf(stderr, "vorn-freshness-bench: new window %d not closed\n", i);
            return 1;
        }
    }

    // Clicks on the rows of windows not placed yet, each after the desktop has settled.
    constexpr int clicks = 20;
    std::vector<double> clickTimes;
    std::vector<double> clickRequests;
    std::vector<double> convergenceRequests;
    for (int i = 0; i < clicks; ++i) {
        const xcb_window_t window =
            program->windows[(static_cast<std::size_t>(i) * 7 + 3) % windowCount];
        (void)backend.x11().roundTrip();
        QCoreApplication::processEvents();
        TabRow* row = ambientRow(window);
        if (row == nullptr) {
            std::fprintf(stderr, "vorn-freshness-bench: no row to click %d\n", i);
            return 1;
        }
        const QPointF at(row->width() / 2.0, row->height() / 2.0);
        const QPointF global = row->mapToGlobal(at);
        (void)phases->takeProbes();
        bool done = false;
        SteadyClock::time_point end;
        std::uint32_t last = 0;
        const std::uint32_t first = backend.x11().probeSequence();
        const auto start = SteadyClock::now();
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(row, &press);
        QApplication::sendEvent(row, &release);
        // Queued after the click's work, so it runs once that has returned.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                end = SteadyClock::now();
                last = backend.x11().probeSequence();
                done = true;
            },
            Qt::QueuedConnection);
        if (!waitUntil([&] { return done; })) {
            std::fprintf(stderr, "vorn-freshness-bench: click %d did not return\n", i);
            return 1;
        }
        const std::uint32_t converging = phases->convergenceRequests();
        const std::uint32_t probes = phases->takeProbes();
        clickTimes.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        clickRequests.push_back(last - first - 1 - probes);
        convergenceRequests.push_back(converging);
    }
    std::vector<double> outside;
    for (std::size_t i = 0; i < clickRequests.size(); ++i) {
        outside.push_back(clickRequests[i] - convergenceRequests[i]);
    }

    std::printf("%d windows of one client, %d changes each, from the change sent to the row\n",
                windowCount, changes);
    report("title change", titles);
    report("new window mapped", mapped);
    report("activation", activations);
    reportCounts("CPU per title change", titleCPU, "ms");
    std::printf("%d clicks on a row of a window that is not in place\n", clicks);
    reportCounts("time per click", clickTimes, "ms");
    reportCounts("requests per click", clickRequests, "  ");
    reportCounts("  in convergence", convergenceRequests, "  ");
    reportCounts("  outside it", outside, "  ");
    setLogSink(nullptr);
    return 0;
}
