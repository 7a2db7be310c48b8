#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "System/TimeSource.h"

namespace vorn::tally::test {

// Time that moves only when the test says so. Scheduled calls fire on the advancing thread.
class VirtualTimeSource final : public system::TimeSource {
public:
    explicit VirtualTimeSource(Date start = Date(800000000.0))
        : m_now(start) {}

    Date now() override;
    std::uint64_t schedule(double delaySeconds, std::function<void()> fire) override;
    void cancel(std::uint64_t ticket) override;

    // Moves time forward, firing every call that falls due on the way, in deadline order
    // (calls scheduled by a firing call included when they fall due within the step).
    void advance(double seconds);
    std::size_t pendingCount() const;
    // Seconds from now to the earliest pending call; none when nothing is pending.
    std::optional<double> nextDelay() const;
    // Waits until at least count calls are pending, for work that other threads schedule; false
    // after the timeout, which only guards against a hang.
    bool waitForPending(std::size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_scheduled;
    Date m_now;
    std::uint64_t m_lastTicket = 0;
    std::map<std::pair<double, std::uint64_t>, std::function<void()>> m_pending;
};

}  // namespace vorn::tally::test
