#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "Executor.h"

namespace vorn::platform {

using MonotonicClock = std::chrono::steady_clock;
using MonotonicTime = MonotonicClock::time_point;
using Duration = MonotonicClock::duration;

enum class RunResult {
    timedOut,
    handledSource,
    stopped
};

using TimerID = std::uint64_t;
using WatchID = std::uint64_t;

// The main thread's loop. Everything but post() is called on the main thread only. Times come
// from a monotonic clock, never the wall clock.
class RunLoop : public MainExecutor {
public:
    virtual MonotonicTime now() const = 0;

    // Runs the loop in its default mode, without dispatching user input, until the deadline, or
    // less: it returns after it ran posted tasks or a descriptor's callback. Timers fire without
    // ending the run. A deadline already past runs only what is ready.
    virtual RunResult runUntil(MonotonicTime deadline) = 0;
    // Blocks the calling thread; nothing runs on it meanwhile.
    virtual void sleepFor(Duration duration) = 0;

    // Any thread; tasks run on the main thread in the order posted, never inline.
    void post(std::function<void()> task) override = 0;

    // Calls tick after the interval, and again every interval when it repeats, until cancelled.
    // Intervals below a millisecond count as one millisecond.
    virtual TimerID addTimer(Duration interval, bool repeats, std::function<void()> tick) = 0;
    // Unknown or finished timers are ignored.
    virtual void cancelTimer(TimerID timer) = 0;

    // Calls onReadable whenever the descriptor can be read (or has hung up) until unwatched; the
    // callback must read what is there, or it is called again at once.
    virtual WatchID watchReadable(int fd, std::function<void()> onReadable) = 0;
    virtual void unwatch(WatchID watch) = 0;

    // Whether one of this loop's callbacks (a posted task, a timer's tick or a descriptor's
    // callback) is running now, nested runs included. A source whose descriptor is read by its
    // own callback then knows that what woke the loop has been read. False where the loop does
    // not tell.
    virtual bool inCallback() const { return false; }
};

}  // namespace vorn::platform
