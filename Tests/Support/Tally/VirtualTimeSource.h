#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
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

private:
    mutable std::mutex m_mutex;
    Date m_now;
    std::uint64_t m_lastTicket = 0;
    std::map<std::pair<double, std::uint64_t>, std::function<void()>> m_pending;
};

}  // namespace vorn::tally::test
