#pragma once

#include <functional>
#include <utility>

namespace vorn {

// Ends one subscription when destroyed or reset. It may outlive what it subscribed to: the
// source hands over a cancel that does nothing once the source is gone. Whether ending waits for
// an observer running on another thread is the source's to say.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel)
        : m_cancel(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept
        : m_cancel(std::exchange(other.m_cancel, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            m_cancel = std::exchange(other.m_cancel, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    // Ends the subscription now; the observer is not called again.
    void reset() {
        if (auto cancel = std::exchange(m_cancel, nullptr)) {
            cancel();
        }
    }
    bool active() const { return static_cast<bool>(m_cancel); }

private:
    std::function<void()> m_cancel;
};

}  // namespace vorn
