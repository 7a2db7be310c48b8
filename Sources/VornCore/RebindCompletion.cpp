#include "RebindCompletion.h"

#include <utility>

namespace vorn {

class RebindCompletion::State {
public:
    explicit State(std::function<void(RebindChoice)> answer)
        : m_answer(std::move(answer)) {}
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() { answer(RebindChoice::cancel()); }

    // Takes the answer out before calling it: the call may drop the last copy of the
    // completion, and with it this state.
    void answer(RebindChoice choice) {
        if (auto answer = std::exchange(m_answer, nullptr)) {
            answer(choice);
        }
    }
    bool pending() const { return static_cast<bool>(m_answer); }

private:
    std::function<void(RebindChoice)> m_answer;
};

RebindCompletion::RebindCompletion(std::function<void(RebindChoice)> answer)
    : m_state(std::make_shared<State>(std::move(answer))) {}

void RebindCompletion::operator()(RebindChoice choice) const {
    // Held for the call, for the same reason.
    if (const auto state = m_state) {
        state->answer(choice);
    }
}

bool RebindCompletion::pending() const {
    return m_state && m_state->pending();
}

}  // namespace vorn
