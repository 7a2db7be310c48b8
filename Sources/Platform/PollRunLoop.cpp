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
        const bool ranTasks = m_queues.runPosted() > 0;
        m_queues.fireDueTimers(now());
        if (ranTasks) {
            return RunResult::handledSource;
        }
        if (now() >= deadline) {
            return RunResult::timedOut;
        }
        const MonotonicTime until = std::min(deadline, m_queues.nextTimerTime().value_or(deadline));
        if (waitAndDispatch(until)) {
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
    m_queues.post(std::move(task));
    wake();
}

TimerID PollRunLoop::addTimer(Duration interval, bool repeats, std::function<void()> tick) {
    return m_queues.addTimer(now(), interval, repeats, std::move(tick));
}

void PollRunLoop::cancelTimer(TimerID timer) {
    m_queues.cancelTimer(timer);
}

WatchID PollRunLoop::watchReadable(int fd, std::function<void()> onReadable) {
    return m_queues.watchReadable(fd, std::move(onReadable));
}

void PollRunLoop::unwatch(WatchID watch) {
    m_queues.unwatch(watch);
}

bool PollRunLoop::waitAndDispatch(MonotonicTime until) {
    std::vector<pollfd> fds;
    std::vector<WatchID> ids;
    if (m_wakeFd >= 0) {
        fds.push_back({m_wakeFd, POLLIN, 0});
    }
    for (const auto& [id, fd] : m_queues.watches()) {
        fds.push_back({fd, POLLIN, 0});
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
        if ((events & POLLNVAL) != 0) {
            // Silent when an earlier callback already unwatched it.
            if (m_queues.unwatch(id)) {
                vornAppLog().error("run loop: watched descriptor is not open fd=", fds[i].fd);
            }
            continue;
        }
        if (m_queues.notifyReadable(id)) {
            dispatched = true;
        }
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
