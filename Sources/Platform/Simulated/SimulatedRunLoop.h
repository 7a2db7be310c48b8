#pragma once

#include <functional>
#include <string>
#include <vector>

#include "RunLoop.h"
#include "RunLoopQueues.h"
#include "SimulatedClock.h"

namespace vorn::platform::sim {

// A run loop on virtual time. Waiting moves the clock straight to the next timer, scheduled
// action or deadline, so waits of seconds take no real time. post() may be called from any
// thread; everything else belongs to the test's thread.
class SimulatedRunLoop final : public RunLoop {
public:
    explicit SimulatedRunLoop(SimulatedClock& clock);

    MonotonicTime now() const override;
    RunResult runUntil(MonotonicTime deadline) override;
    void sleepFor(Duration duration) override;
    void post(std::function<void()> task) override;
    TimerID addTimer(Duration interval, bool repeats, std::function<void()> tick) override;
    void cancelTimer(TimerID timer) override;
    WatchID watchReadable(int fd, std::function<void()> onReadable) override;
    void unwatch(WatchID watch) override;

    // Makes the descriptor's watchers run at the loop's next turn.
    void signalReadable(int fd);
    // Runs the tasks posted so far without moving time; returns how many ran.
    std::size_t drain();
    std::size_t pendingTasks() const;
    std::size_t activeTimers() const { return m_queues.activeTimers(); }
    // Every sleep, in order.
    const std::vector<Duration>& sleeps() const { return m_sleeps; }
    Duration totalSlept() const;
    // Receives a line for each sleep, to interleave with other records.
    void setRecorder(std::function<void(const std::string&)> recorder);

private:
    SimulatedClock& m_clock;
    RunLoopQueues m_queues{MissedTicks::catchUp};
    std::vector<Duration> m_sleeps;
    std::function<void(const std::string&)> m_recorder;
};

// "24ms", "1.5s": a duration as call records write it.
std::string formatDuration(Duration duration);

}  // namespace vorn::platform::sim
