#pragma once

#include <atomic>
#include <functional>

#include "RunLoop.h"
#include "RunLoopQueues.h"

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
    bool inCallback() const override { return m_queues.inCallback(); }

    // Runs until stop() is called.
    void run();
    // Any thread: ends the current run() or runUntil() at its next turn.
    void stop();

private:
    bool waitAndDispatch(MonotonicTime until);
    void wake();
    void drainWakeDescriptor();

    RunLoopQueues m_queues{MissedTicks::skip};
    std::atomic<bool> m_stopRequested{false};
    int m_wakeFd = -1;
};

}  // namespace vorn::platform
