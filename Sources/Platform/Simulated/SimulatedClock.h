#pragma once

#include <functional>
#include <map>
#include <optional>

#include "RunLoop.h"

namespace vorn::platform::sim {

// Virtual monotonic time for the simulated desktop. Time moves only when the run loop waits or
// sleeps, or when a test moves it; scheduled actions (what other applications do meanwhile) run
// as time passes them. Main thread only.
class SimulatedClock {
public:
    SimulatedClock();

    MonotonicTime now() const { return m_now; }
    // Moves time forward to the moment, running every action due by then in time order, each
    // with now() at its own time. A moment in the past leaves the time as it is.
    void advanceTo(MonotonicTime moment);
    void advanceBy(Duration duration);
    // Runs the action once time reaches the moment; actions of the same moment run in the order
    // they were scheduled.
    void schedule(MonotonicTime moment, std::function<void()> action);
    void scheduleAfter(Duration delay, std::function<void()> action);
    std::optional<MonotonicTime> nextScheduled() const;

private:
    MonotonicTime m_now;
    std::multimap<MonotonicTime, std::function<void()>> m_actions;
};

}  // namespace vorn::platform::sim
