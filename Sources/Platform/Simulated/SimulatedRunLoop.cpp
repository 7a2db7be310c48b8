#include "SimulatedRunLoop.h"

#include <algorithm>
#include <numeric>
#include <sstream>

namespace vorn::platform::sim {

SimulatedRunLoop::SimulatedRunLoop(SimulatedClock& clock)
    : m_clock(clock) {}

MonotonicTime SimulatedRunLoop::now() const {
    return m_clock.now();
}

RunResult SimulatedRunLoop::runUntil(MonotonicTime deadline) {
    for (;;) {
        if (m_queues.runPosted() > 0) {
            return RunResult::handledSource;
        }
        std::optional<MonotonicTime> next = m_clock.nextScheduled();
        if (const auto timer = m_queues.nextTimerTime()) {
            next = next ? std::min(*next, *timer) : *timer;
        }
        if (!next || *next > deadline) {
            m_clock.advanceTo(deadline);
            return RunResult::timedOut;
        }
        m_clock.advanceTo(*next);
        m_queues.fireDueTimers(now());
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
    m_queues.post(std::move(task));
}

TimerID SimulatedRunLoop::addTimer(Duration interval, bool repeats, std::function<void()> tick) {
    return m_queues.addTimer(now(), interval, repeats, std::move(tick));
}

void SimulatedRunLoop::cancelTimer(TimerID timer) {
    m_queues.cancelTimer(timer);
}

WatchID SimulatedRunLoop::watchReadable(int fd, std::function<void()> onReadable) {
    return m_queues.watchReadable(fd, std::move(onReadable));
}

void SimulatedRunLoop::unwatch(WatchID watch) {
    m_queues.unwatch(watch);
}

void SimulatedRunLoop::signalReadable(int fd) {
    post([this, fd] {
        for (const auto& [id, watched] : m_queues.watches()) {
            if (watched == fd) {
                m_queues.notifyReadable(id);
            }
        }
    });
}

std::size_t SimulatedRunLoop::drain() {
    std::size_t ran = 0;
    while (std::size_t batch = m_queues.runPosted()) {
        ran += batch;
    }
    return ran;
}

std::size_t SimulatedRunLoop::pendingTasks() const {
    return m_queues.pendingTasks();
}

Duration SimulatedRunLoop::totalSlept() const {
    return std::accumulate(m_sleeps.begin(), m_sleeps.end(), Duration::zero());
}

void SimulatedRunLoop::setRecorder(std::function<void(const std::string&)> recorder) {
    m_recorder = std::move(recorder);
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
