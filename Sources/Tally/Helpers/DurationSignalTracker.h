#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Date.h"
#include "Helpers/Parameters.h"
#include "System/ConcurrentQueue.h"
#include "System/NotificationCenter.h"

namespace vorn::tally {

// The running duration measurements of the process, by signal name. Time while the
// application is not active is left out of a measurement unless it asked for it. Measurements
// live in memory only. Safe to use from any thread.
class DurationSignalTracker {
public:
    struct Stopped {
        double duration = 0;  // seconds, never negative
        Parameters parameters;
    };

    // The process's tracker, created on first use.
    static std::shared_ptr<DurationSignalTracker> shared();
    // Forgets the process's tracker, so that the next use creates a new one.
    static void resetShared();
    // A tracker that follows the application's activation from now on.
    static std::shared_ptr<DurationSignalTracker> create();

    DurationSignalTracker(const DurationSignalTracker&) = delete;
    DurationSignalTracker& operator=(const DurationSignalTracker&) = delete;

    // Starts measuring now under the name, replacing a running measurement of that name.
    void startTracking(const std::string& signalName,
                       const Parameters& parameters,
                       bool includeBackgroundTime);
    // Ends the measurement of the name: its duration and its start's parameters; none when it
    // is not running.
    std::optional<Stopped> stopTracking(const std::string& signalName);
    // The application stopped being active.
    void handleDidEnterBackgroundNotification();
    // The application became active again: running measurements that leave out inactive time
    // lose the part of it after their start.
    void handleWillEnterForegroundNotification();

    // The duration rounded down to whole milliseconds, as the shortest text that reads back to
    // the same number, with at least one digit after the point: 3.0, 2.5, 1.234.
    static std::string durationText(double seconds);

private:
    struct CachedData {
        Date startTime;
        Parameters parameters;
        bool includeBackgroundTime = false;
    };
    struct State {
        std::unordered_map<std::string, CachedData> startedSignals;
        std::optional<Date> lastEnteredBackground;
    };

    DurationSignalTracker() = default;
    void observe();

    // Every read and write of the measurements runs as one block under this queue's lock.
    system::ConcurrentQueue<State> m_queue;
    Subscription m_resignObserver;
    Subscription m_activeObserver;
};

}  // namespace vorn::tally
