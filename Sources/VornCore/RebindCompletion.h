#pragma once

#include <functional>
#include <memory>

#include "RebindEngine.h"

namespace vorn {

// The rebind presenter's one answer to one request. Copies share that answer: the first call
// counts and later calls do nothing. When the last copy goes away unanswered it answers cancel,
// at once and on the thread that destroys it, which must be the main thread; so a picker that
// is closed or dropped without answering can never leave the request outstanding.
class RebindCompletion {
public:
    RebindCompletion() = default;
    explicit RebindCompletion(std::function<void(RebindChoice)> answer);

    void operator()(RebindChoice choice) const;
    // Whether this copy can still answer (false once any copy answered, or when moved from).
    bool pending() const;

private:
    class State;
    std::shared_ptr<State> m_state;
};

}  // namespace vorn
