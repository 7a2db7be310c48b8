#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "RunLoop.h"

namespace vorn::platform {

// What a repeating timer does when its loop comes back after more than one interval.
enum class MissedTicks {
    // The next tick stays one interval after the previous due time, so every missed tick fires.
    catchUp,
    // The next tick is at least one interval from now, so a stall fires one tick, not a burst.
    skip
};

// The bookkeeping of a run loop apart from how it waits: tasks posted from any thread, timers
// and descriptor watches. Timers and watches share one sequence of ids. post() and
// pendingTasks() may be called from any thread, everything else on the loop's thread only.
class RunLoopQueues {
public:
    explicit RunLoopQueues(MissedTicks missedTicks);

    void post(std::function<void()> task);
    std::size_t pendingTasks() const;
    // Runs the tasks posted before the call, outside the lock so that they may post more; those
    // wait for the next call. Returns how many ran.
    std::size_t runPosted();

    // Intervals below a millisecond count as one millisecond.
    TimerID addTimer(MonotonicTime now,
                     Duration interval,
                     bool repeats,
                     std::function<void()> tick);
    // Unknown or finished timers are ignored.
    void cancelTimer(TimerID timer);
    std::size_t activeTimers() const { return m_timers.size(); }
    // Calls every tick due by now, earliest first; a tick may cancel its own or any other timer.
    void fireDueTimers(MonotonicTime now);
    // The earliest due time, if any timer is active.
    std::optional<MonotonicTime> nextTimerTime() const;

    WatchID watchReadable(int fd, std::function<void()> onReadable);
    // Returns whether the watch existed.
    bool unwatch(WatchID watch);
    // The id and descriptor of every watch, oldest first.
    std::vector<std::pair<WatchID, int>> watches() const;
    // Calls the watch's callback unless an earlier callback unwatched it; returns whether it ran.
    bool notifyReadable(WatchID watch);
    // Whether a task, tick or watch callback of these queues is running now.
    bool inCallback() const { return m_callbackDepth > 0; }

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

    const MissedTicks m_missedTicks;
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;  // under m_mutex
    std::map<TimerID, Timer> m_timers;
    std::map<WatchID, Watch> m_watches;
    std::uint64_t m_nextID = 1;
    int m_callbackDepth = 0;
};

}  // namespace vorn::platform
