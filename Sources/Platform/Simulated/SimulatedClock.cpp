#include "SimulatedClock.h"

#include <algorithm>

namespace vorn::platform::sim {

// Away from zero, so that a time point that was never set stands out.
SimulatedClock::SimulatedClock()
    : m_now(MonotonicTime{} + std::chrono::hours(1)) {}

void SimulatedClock::advanceTo(MonotonicTime moment) {
    while (!m_actions.empty() && m_actions.begin()->first <= moment) {
        auto first = m_actions.begin();
        m_now = std::max(m_now, first->first);
        auto action = std::move(first->second);
        m_actions.erase(first);
        action();
    }
    m_now = std::max(m_now, moment);
}

void SimulatedClock::advanceBy(Duration duration) {
    advanceTo(m_now + std::max(duration, Duration::zero()));
}

void SimulatedClock::schedule(MonotonicTime moment, std::function<void()> action) {
    m_actions.emplace(moment, std::move(action));
}

void SimulatedClock::scheduleAfter(Duration delay, std::function<void()> action) {
    schedule(m_now + delay, std::move(action));
}

std::optional<MonotonicTime> SimulatedClock::nextScheduled() const {
    if (m_actions.empty()) {
        return std::nullopt;
    }
    return m_actions.begin()->first;
}

}  // namespace vorn::platform::sim
