#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "RunLoop.h"

namespace vorn::platform {

// A run loop over poll(2) and the system's monotonic clock, for tests and tools; the
// application uses one over its toolkit's event loop instead.
class PollRunLoop final : public RunLoop {
public:
    PollRunLoop();
    ~PollRunLoop() override;
    PollRunLoop(const PollRunLoop&) = delete;
    PollRunLoop& operator=(const PollRunLoop&) = delete;

    MonotonicTime now() const override;
    RunResult runUntil(MonotonicTime deadline) override;
    void sleepFor(Duration duration) override;
    void post(std::function<void()> task) override;
    TimerID addTimer(Duration interval, bool repeats, std::function<void()> tick) override;
    void cancelTimer(TimerID timer) override;
    WatchID watchReadable(int fd, std::function<void()> onReadable) override;
    void unwatch(WatchID watch) override;

    // Runs until stop() is called.
    void run();
    // Any thread: ends the current run() or runUntil() at its next turn.
    void stop();

private:
    struct Timer {
        MonotonicTime next;
        Duration interval;
        bool repeats = false;
        std::function<void()> tick;
    };
    struct Watch {
        int fd = -1;
        std::function<void()> onReadable;
    };

    bool runPosted();
    void fireDueTimers();
    MonotonicTime nextTimerTime(MonotonicTime deadline) const;
    bool waitAndDispatch(MonotonicTime until);
    void wake();
    void drainWakeDescriptor();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;  // under m_mutex
    std::atomic<bool> m_stopRequested{false};
    int m_wakeFd = -1;

    // Main thread only.
    std::map<TimerID, Timer> m_timers;
    std::map<WatchID, Watch> m_watches;
    std::uint64_t m_nextID = 1;
};

}  // namespace vorn::platform
