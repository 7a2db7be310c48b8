#pragma once

#include <functional>
#include <memory>

#include "System/Queue.h"

namespace vorn::tally::system {

// A handler that runs once on a queue after a delay of the installed time source, unless it
// is cancelled first.
class OneShotTimer {
public:
    // Arms a timer. The queue is held weakly; the handler is dropped when the queue is gone.
    static std::shared_ptr<OneShotTimer> start(const std::shared_ptr<Queue>& queue,
                                               double delaySeconds,
                                               std::function<void()> handler);
    ~OneShotTimer();

    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    // After cancel() returns the handler does not start; one already running finishes.
    void cancel();
    bool isCancelled() const;

private:
    struct State;
    explicit OneShotTimer(std::shared_ptr<State> state);

    std::shared_ptr<State> m_state;
};

}  // namespace vorn::tally::system
