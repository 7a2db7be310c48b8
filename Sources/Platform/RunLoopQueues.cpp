#include "RunLoopQueues.h"

#include <algorithm>

namespace vorn::platform {
namespace {

// Counts a callback for as long as it runs, nested ones included.
class CallbackScope {
public:
    explicit CallbackScope(int& depth)
        : m_depth(depth) {
        ++m_depth;
    }
    ~CallbackScope() { --m_depth; }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

private:
    int& m_depth;
};

constexpr Duration minimumInterval = std::chrono::milliseconds(1);

}  // namespace

RunLoopQueues::RunLoopQueues(MissedTicks missedTicks)
    : m_missedTicks(missedTicks) {}

void RunLoopQueues::post(std::function<void()> task) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(task));
}

std::size_t RunLoopQueues::pendingTasks() const {
    std::lock_guard lock(m_mutex);
    return m_posted.size();
}

std::size_t RunLoopQueues::runPosted() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_posted);
    }
    for (auto& task : tasks) {
        const CallbackScope scope(m_callbackDepth);
        task();
    }
    return tasks.size();
}

TimerID RunLoopQueues::addTimer(MonotonicTime now,
                                Duration interval,
                                bool repeats,
                                std::function<void()> tick) {
    interval = std::max(interval, minimumInterval);
    const TimerID id = m_nextID++;
    m_timers.emplace(id, Timer{now + interval, interval, repeats, std::move(tick)});
    return id;
}

void RunLoopQueues::cancelTimer(TimerID timer) {
    m_timers.erase(timer);
}

void RunLoopQueues::fireDueTimers(MonotonicTime now) {
    std::vector<std::pair<MonotonicTime, TimerID>> due;
    for (const auto& [id, timer] : m_timers) {
        if (timer.next <= now) {
            due.emplace_back(timer.next, id);
        }
    }
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
        auto it = m_timers.find(id);
        if (it == m_timers.end()) {
            continue;  // cancelled by an earlier tick
        }
        // The tick may cancel its own timer, so call a copy.
        auto tick = it->second.tick;
        if (it->second.repeats) {
            it->second.next += it->second.interval;
            if (m_missedTicks == MissedTicks::skip && it->second.next <= now) {
                it->second.next = now + it->second.interval;
            }
        } else {
            m_timers.erase(it);
        }
        const CallbackScope scope(m_callbackDepth);
        tick();
    }
}

std::optional<MonotonicTime> RunLoopQueues::nextTimerTime() const {
    std::optional<MonotonicTime> next;
    for (const auto& [id, timer] : m_timers) {
        next = next ? std::min(*next, timer.next) : timer.next;
    }
    return next;
}

WatchID RunLoopQueues::watchReadable(int fd, std::function<void()> onReadable) {
    const WatchID id = m_nextID++;
    m_watches.emplace(id, Watch{fd, std::move(onReadable)});
    return id;
}

bool RunLoopQueues::unwatch(WatchID watch) {
    return m_watches.erase(watch) > 0;
}

std::vector<std::pair<WatchID, int>> RunLoopQueues::watches() const {
    std::vector<std::pair<WatchID, int>> result;
    result.reserve(m_watches.size());
    for (const auto& [id, watch] : m_watches) {
        result.emplace_back(id, watch.fd);
    }
    return result;
}

bool RunLoopQueues::notifyReadable(WatchID watch) {
    auto it = m_watches.find(watch);
    if (it == m_watches.end()) {
        return false;
    }
    // The callback may unwatch itself, so call a copy.
    auto onReadable = it->second.onReadable;
    const CallbackScope scope(m_callbackDepth);
    onReadable();
    return true;
}

}  // namespace vorn::platform
