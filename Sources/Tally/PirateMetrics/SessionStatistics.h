#pragma once

#include <memory>

namespace vorn::tally {

// The session statistics as the rest of the client sees them.
class SessionStatistics {
public:
    virtual ~SessionStatistics() = default;
    // Begins a new session: the current one stops counting, the new one starts now.
    virtual void startNewSession() = 0;
};

// The statistics that a new session identifier starts a session in; none until installed.
std::shared_ptr<SessionStatistics> sessionStatistics();
void setSessionStatistics(std::shared_ptr<SessionStatistics> statistics);

}  // namespace vorn::tally
