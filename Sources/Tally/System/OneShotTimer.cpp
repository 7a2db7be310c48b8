#include "System/OneShotTimer.h"

#include <atomic>
#include <cstdint>

#include "System/TimeSource.h"

namespace vorn::tally::system {

struct OneShotTimer::State {
    std::atomic<bool> cancelled{false};
    std::weak_ptr<Queue> queue;
    std::function<void()> handler;
    // Weak: the source's pending call holds this state, and a cycle would outlive both.
    std::weak_ptr<TimeSource> source;
    std::atomic<std::uint64_t> ticket{0};
};

OneShotTimer::OneShotTimer(std::shared_ptr<State> state)
    : m_state(std::move(state)) {}

// A timer that nobody holds still fires: dropping the handle is not a cancellation.
OneShotTimer::~OneShotTimer() = default;

std::shared_ptr<OneShotTimer> OneShotTimer::start(const std::shared_ptr<Queue>& queue,
                                                  double delaySeconds,
                                                  std::function<void()> handler) {
    auto state = std::make_shared<State>();
    state->queue = queue;
    state->handler = std::move(handler);
    const auto source = timeSource();
    state->source = source;
    const auto fire = [state] {
        if (state->cancelled.load()) {
            return;
        }
        if (auto target = state->queue.lock()) {
            target->async([state] {
                // Checked again on the queue: a cancel made there before this task ran wins.
                if (!state->cancelled.load()) {
                    state->handler();
                }
            });
        }
    };
    state->ticket = source->schedule(delaySeconds, fire);
    return std::shared_ptr<OneShotTimer>(new OneShotTimer(std::move(state)));
}

void OneShotTimer::cancel() {
    if (m_state->cancelled.exchange(true)) {
        return;
    }
    if (auto source = m_state->source.lock()) {
        source->cancel(m_state->ticket.load());
    }
}

bool OneShotTimer::isCancelled() const {
    return m_state->cancelled.load();
}

}  // namespace vorn::tally::system
