#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorn::tally {

// The usage figures every signal carries, as the session statistics hold them at one moment.
struct RetentionFigures {
    // The stored day of the first session, else today, as ISO 8601 full date text.
    std::string firstSessionDate;
    // -1 without any recorded session.
    long long averageSessionSeconds = -1;
    // The days the client was used, oldest first, as ISO 8601 full date text.
    std::vector<std::string> distinctDaysUsed;
    // Recorded sessions plus those dropped for age.
    long long totalSessionsCount = 0;
    // The duration of the session before the current one, when there is one.
    std::optional<long long> previousSessionSeconds;
};

// The session statistics as the rest of the client sees them.
class SessionStatistics {
public:
    virtual ~SessionStatistics() = default;
    // Begins a new session: the current one stops counting, the new one starts now.
    virtual void startNewSession() = 0;
    // The figures as they are now.
    virtual RetentionFigures retentionFigures() = 0;
};

// The installed statistics; the first call without any creates and installs a SessionManager.
std::shared_ptr<SessionStatistics> sessionStatistics();
// Installs statistics; null forgets them, so that the next use creates new ones.
void setSessionStatistics(std::shared_ptr<SessionStatistics> statistics);

}  // namespace vorn::tally
