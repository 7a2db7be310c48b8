#include "PollRunLoop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "Log.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vorn::platform {
namespace {

constexpr Duration minimumInterval = std::chrono::milliseconds(1);
// Without a wake-up descriptor a post from another thread cannot interrupt a wait, so waits are
// cut into slices of this length instead.
constexpr Duration sliceWithoutWakeup = std::chrono::milliseconds(20);

}  // namespace

PollRunLoop::PollRunLoop() {
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        vornAppLog().error("run loop: no wake-up descriptor errno=", errno);
    }
}

PollRunLoop::~PollRunLoop() {
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

MonotonicTime PollRunLoop::now() const {
    return MonotonicClock::now();
}

RunResult PollRunLoop::runUntil(MonotonicTime deadline) {
    for (;;) {
        if (m_stopRequested.exchange(false)) {
            return RunResult::stopped;
        }
        const bool ranTasks = runPosted();
        fireDueTimers();
        if (ranTasks) {
            return RunResult::handledSource;
        }
        if (now() >= deadline) {
            return RunResult::timedOut;
        }
        if (waitAndDispatch(nextTimerTime(deadline))) {
            return RunResult::handledSource;
        }
    }
}

void PollRunLoop::run() {
    while (runUntil(MonotonicTime::max()) != RunResult::stopped) {
    }
}

void PollRunLoop::stop() {
    m_stopRequested.store(true);
    wake();
}

void PollRunLoop::sleepFor(Duration duration) {
    std::this_thread::sleep_for(duration);
}

void PollRunLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    wake();
}

TimerID PollRunLoop::addTimer(Duration interval, bool repeats, std::function<void()> tick) {
    interval = std::max(interval, minimumInterval);
    const TimerID id = m_nextID++;
    m_timers.emplace(id, Timer{now() + interval, interval, repeats, std::move(tick)});
    return id;
}

void PollRunLoop::cancelTimer(TimerID timer) {
    m_timers.erase(timer);
}

WatchID PollRunLoop::watchReadable(int fd, std::function<void()> onReadable) {
    const WatchID id = m_nextID++;
    m_watches.emplace(id, Watch{fd, std::move(onReadable)});
    return id;
}

void PollRunLoop::unwatch(WatchID watch) {
    m_watches.erase(watch);
}

bool PollRunLoop::runPosted() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_posted);
    }
    for (auto& task : tasks) {
        task();
    }
    return !tasks.empty();
}

void PollRunLoop::fireDueTimers() {
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
            continue;  // cancelled by an earlier tick
        }
        // The tick may cancel its own timer, so call a copy.
        auto tick = it->second.tick;
        if (it->second.repeats) {
            it->second.next += it->second.interval;
            if (it->second.next <= current) {
                it->second.next = current + it->second.interval;  // no burst after a stall
            }
        } else {
            m_timers.erase(it);
        }
        tick();
    }
}

MonotonicTime PollRunLoop::nextTimerTime(MonotonicTime deadline) const {
    MonotonicTime next = deadline;
    for (const auto& [id, timer] : m_timers) {
        next = std::min(next, timer.next);
    }
    return next;
}

bool PollRunLoop::waitAndDispatch(MonotonicTime until) {
    std::vector<pollfd> fds;
    std::vector<WatchID> ids;
    if (m_wakeFd >= 0) {
        fds.push_back({m_wakeFd, POLLIN, 0});
    }
    for (const auto& [id, watch] : m_watches) {
        fds.push_back({watch.fd, POLLIN, 0});
        ids.push_back(id);
    }

    Duration wait = std::max(until - now(), Duration::zero());
    if (m_wakeFd < 0) {
        wait = std::min(wait, sliceWithoutWakeup);
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds);
    // A wait to the end of time becomes an unbounded one.
    const bool unbounded = until == MonotonicTime::max() && m_wakeFd >= 0;
    timespec timeout{static_cast<time_t>(seconds.count()), static_cast<long>(nanos.count())};
    const int ready = ::ppoll(fds.data(), fds.size(), unbounded ? nullptr : &timeout, nullptr);
    if (ready <= 0) {
        if (ready < 0 && errno != EINTR) {
            vornAppLog().error("run loop: poll failed errno=", errno);
        }
        return false;
    }

    std::size_t first = 0;
    if (m_wakeFd >= 0) {
        if (fds[0].revents != 0) {
            drainWakeDescriptor();
        }
        first = 1;
    }
    bool dispatched = false;
    for (std::size_t i = first; i < fds.size(); ++i) {
        const short events = fds[i].revents;
        if (events == 0) {
            continue;
        }
        const WatchID id = ids[i - first];
        auto it = m_watches.find(id);
        if (it == m_watches.end()) {
            continue;  // unwatched by an earlier callback
        }
        if ((events & POLLNVAL) != 0) {
            vornAppLog().error("run loop: watched descriptor is not open fd=", it->second.fd);
            m_watches.erase(it);
            continue;
        }
        auto onReadable = it->second.onReadable;
        onReadable();
        dispatched = true;
    }
    return dispatched;
}

void PollRunLoop::wake() {
    if (m_wakeFd < 0) {
        return;
    }
    const std::uint64_t one = 1;
    // A full counter already means a pending wake-up, so a failed write loses nothing.
    [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
}

void PollRunLoop::drainWakeDescriptor() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(m_wakeFd, &count, sizeof count);
}

}  // namespace vorn::platform
