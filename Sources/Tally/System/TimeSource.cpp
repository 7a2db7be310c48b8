#include "TimeSource.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "System/SharedSlot.h"

namespace vorn::tally::system {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Delays beyond a year are treated as a year, so that the deadline never overflows.
constexpr double longestDelaySeconds = 365.0 * 24 * 3600;

SteadyClock::time_point deadlineAfter(double delaySeconds) {
    double delay = std::isnan(delaySeconds) ? 0 : delaySeconds;
    delay = std::clamp(delay, 0.0, longestDelaySeconds);
    return SteadyClock::now()
           + std::chrono::duration_cast<SteadyClock::duration>(
               std::chrono::duration<double>(delay));
}

class SystemTimeSource final : public TimeSource {
public:
    ~SystemTimeSource() override { stop(); }

    Date now() override { return Date::now(); }

    std::uint64_t schedule(double delaySeconds, std::function<void()> fire) override {
        std::lock_guard lock(m_mutex);
        const std::uint64_t ticket = ++m_lastTicket;
        m_pending.emplace(std::make_pair(deadlineAfter(delaySeconds), ticket), std::move(fire));
        if (!m_thread.joinable()) {
            m_stopping = false;
            m_thread = std::thread([this] { run(); });
        }
        m_wake.notify_one();
        return ticket;
    }

    void cancel(std::uint64_t ticket) override {
        std::lock_guard lock(m_mutex);
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->first.second == ticket) {
                m_pending.erase(it);
                return;
            }
        }
    }

    void stop() {
        std::thread thread;
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_pending.clear();
            thread = std::move(m_thread);
        }
        m_wake.notify_one();
        if (thread.joinable()) {
            thread.join();
        }
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (m_pending.empty()) {
                m_wake.wait(lock);
                continue;
            }
            const auto due = m_pending.begin()->first.first;
            if (SteadyClock::now() < due) {
                m_wake.wait_until(lock, due);
                continue;
            }
            auto fire = std::move(m_pending.begin()->second);
            m_pending.erase(m_pending.begin());
            lock.unlock();
            fire();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    // Ordered by deadline, then by ticket, so equal deadlines fire in scheduling order.
    std::map<std::pair<SteadyClock::time_point, std::uint64_t>, std::function<void()>> m_pending;
    std::uint64_t m_lastTicket = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

std::shared_ptr<SystemTimeSource> systemSource() {
    return processSlot<SystemTimeSource>().get([] { return std::make_shared<SystemTimeSource>(); });
}

}  // namespace

std::shared_ptr<TimeSource> timeSource() {
    if (auto installed = processSlot<TimeSource>().current()) {
        return installed;
    }
    return systemSource();
}

void setTimeSource(std::shared_ptr<TimeSource> source) {
    processSlot<TimeSource>().set(std::move(source));
}

Date now() {
    return timeSource()->now();
}

void stopSystemTimers() {
    systemSource()->stop();
}

}  // namespace vorn::tally::system
