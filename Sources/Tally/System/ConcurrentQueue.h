#pragma once

#include <mutex>
#include <shared_mutex>
#include <utility>

namespace vorn::tally::system {

// A value reachable only through blocks that run synchronously: plain blocks may run beside
// each other, a barrier block runs alone. A block must not call back into the same queue.
template <typename T>
class ConcurrentQueue {
public:
    template <typename... Args>
    explicit ConcurrentQueue(Args&&... args)
        : m_value(std::forward<Args>(args)...) {}

    ConcurrentQueue(const ConcurrentQueue&) = delete;
    ConcurrentQueue& operator=(const ConcurrentQueue&) = delete;

    // Results are returned by value so that nothing guarded escapes the lock.
    template <typename Block>
    auto sync(Block&& block) const {
        std::shared_lock lock(m_mutex);
        return block(std::as_const(m_value));
    }

    template <typename Block>
    auto barrierSync(Block&& block) {
        std::unique_lock lock(m_mutex);
        return block(m_value);
    }

private:
    mutable std::shared_mutex m_mutex;
    T m_value;
};

}  // namespace vorn::tally::system
