#include "VirtualTimeSource.h"

namespace vorn::tally::test {

Date VirtualTimeSource::now() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::uint64_t VirtualTimeSource::schedule(double delaySeconds, std::function<void()> fire) {
    std::lock_guard lock(m_mutex);
    const std::uint64_t ticket = ++m_lastTicket;
    const double due = m_now.secondsSinceReference() + (delaySeconds > 0 ? delaySeconds : 0);
    m_pending.emplace(std::make_pair(due, ticket), std::move(fire));
    m_scheduled.notify_all();
    return ticket;
}

void VirtualTimeSource::cancel(std::uint64_t ticket) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_pending, [ticket](const auto& entry) { return entry.first.second == ticket; });
}

void VirtualTimeSource::advance(double seconds) {
    std::unique_lock lock(m_mutex);
    const double end = m_now.secondsSinceReference() + seconds;
    while (!m_pending.empty() && m_pending.begin()->first.first <= end) {
        const double due = m_pending.begin()->first.first;
        auto fire = std::move(m_pending.begin()->second);
        m_pending.erase(m_pending.begin());
        if (due > m_now.secondsSinceReference()) {
            m_now = Date(due);
        }
        lock.unlock();
        fire();
        lock.lock();
    }
    m_now = Date(end);
}

std::size_t VirtualTimeSource::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_pending.size();
}

std::optional<double> VirtualTimeSource::nextDelay() const {
    std::lock_guard lock(m_mutex);
    if (m_pending.empty()) {
        return std::nullopt;
    }
    return m_pending.begin()->first.first - m_now.secondsSinceReference();
}

bool VirtualTimeSource::waitForPending(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_scheduled.wait_for(lock, timeout, [&] { return m_pending.size() >= count; });
}

}  // namespace vorn::tally::test
