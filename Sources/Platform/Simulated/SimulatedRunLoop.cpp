#include "SimulatedRunLoop.h"

#include <algorithm>
#include <numeric>
#include <sstream>

namespace vorn::platform::sim {
namespace {

constexpr Duration minimumInterval = std::chrono::milliseconds(1);

}  // namespace

SimulatedRunLoop::SimulatedRunLoop(SimulatedClock& clock)
    : m_clock(clock) {}

MonotonicTime SimulatedRunLoop::now() const {
    return m_clock.now();
}

RunResult SimulatedRunLoop::runUntil(MonotonicTime deadline) {
    for (;;) {
        if (runPosted() > 0) {
            return RunResult::handledSource;
        }
        std::optional<MonotonicTime> next = m_clock.nextScheduled();
        for (const auto& [id, timer] : m_timers) {
            next = next ? std::min(*next, timer.next) : timer.next;
        }
        if (!next || *next > deadline) {
            m_clock.advanceTo(deadline);
            return RunResult::timedOut;
        }
        m_clock.advanceTo(*next);
        fireDueTimers();
    }
}

void SimulatedRunLoop::sleepFor(Duration duration) {
    m_sleeps.push_back(duration);
    if (m_recorder) {
        m_recorder("sleep " + formatDuration(duration));
    }
    m_clock.advanceBy(duration);
}

void SimulatedRunLoop::post(std::function<void()> task) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(task));
}

TimerID SimulatedRunLoop::addTimer(Duration interval, bool repeats, std::function<void()> tick) {
    interval = std::max(interval, minimumInterval);
    const TimerID id = m_nextID++;
    m_timers.emplace(id, Timer{now() + interval, interval, repeats, std::move(tick)});
    return id;
}

void SimulatedRunLoop::cancelTimer(TimerID timer) {
    m_timers.erase(timer);
}

WatchID SimulatedRunLoop::watchReadable(int fd, std::function<void()> onReadable) {
    const WatchID id = m_nextID++;
    m_watches.emplace(id, Watch{fd, std::move(onReadable)});
    return id;
}

void SimulatedRunLoop::unwatch(WatchID watch) {
    m_watches.erase(watch);
}

void SimulatedRunLoop::signalReadable(int fd) {
    post([this, fd] {
        std::vector<WatchID> ids;
        for (const auto& [id, watch] : m_watches) {
            if (watch.fd == fd) {
                ids.push_back(id);
            }
        }
        for (WatchID id : ids) {
            auto it = m_watches.find(id);
            if (it != m_watches.end()) {
                auto onReadable = it->second.onReadable;
                onReadable();
            }
        }
    });
}

std::size_t SimulatedRunLoop::drain() {
    std::size_t ran = 0;
    while (std::size_t batch = runPosted()) {
        ran += batch;
    }
    return ran;
}

std::size_t SimulatedRunLoop::pendingTasks() const {
    std::lock_guard lock(m_mutex);
    return m_posted.size();
}

Duration SimulatedRunLoop::totalSlept() const {
    return std::accumulate(m_sleeps.begin(), m_sleeps.end(), Duration::zero());
}

void SimulatedRunLoop::setRecorder(std::function<void(const std::string&)> recorder) {
    m_recorder = std::move(recorder);
}

std::size_t SimulatedRunLoop::runPosted() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_posted);
    }
    for (auto& task : tasks) {
        task();
    }
    return tasks.size();
}

void SimulatedRunLoop::fireDueTimers() {
    const MonotonicTime current = now();
    std::vector<std::pair<MonotonicTime, TimerID>> due;
    for (const auto& [id, timer] : m_timers) {
        if (timer.next <= current) {
            due.emplace_back(timer.next, id);
        }
    }
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
        auto it = m_timers.find(id);
        if (it == m_timers.end()) {
            continue;
        }
        auto tick = it->second.tick;
        if (it->second.repeats) {
            it->second.next += it->second.interval;
        } else {
            m_timers.erase(it);
        }
        tick();
    }
}

std::string formatDuration(Duration value) {
    using std::chrono::duration;
    using std::chrono::duration_cast;
    using std::chrono::nanoseconds;
    std::ostringstream out;
    const auto ns = duration_cast<nanoseconds>(value).count();
    if (ns % 1'000'000 != 0) {
        out << duration_cast<duration<double, std::micro>>(value).count() << "us";
    } else if (ns < 1'000'000'000) {
        out << ns / 1'000'000 << "ms";
    } else {
        out << duration_cast<duration<double>>(value).count() << "s";
    }
    return out.str();
}

}  // namespace vorn::platform::sim
