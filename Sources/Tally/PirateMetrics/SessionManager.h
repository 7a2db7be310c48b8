#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Date.h"
#include "JSON.h"
#include "PirateMetrics/SessionStatistics.h"
#include "System/NotificationCenter.h"
#include "System/OneShotTimer.h"
#include "System/SerialQueue.h"

namespace vorn::tally {

// Usage statistics of the host application across runs, kept in the client's settings suite:
// the sessions of the last 90 days with their active seconds, how many older sessions were
// dropped, the days the client was used and the day of the first session.
//
// Active time accrues only in a session that was started, while the application is active,
// through a one-second timer on the main queue. The sessions are written to the suite at most
// every persistenceDelay seconds, when the application stops being active, and at once when
// it is about to terminate. Safe to use from any thread.
class SessionManager final : public SessionStatistics,
                             public std::enable_shared_from_this<SessionManager> {
public:
    struct StoredSession {
        Date startedAt;
        std::int64_t durationInSeconds = 0;

        friend bool operator==(const StoredSession&, const StoredSession&) = default;
    };

    static constexpr double retentionPeriod = 90.0 * 86400;
    static constexpr double tickInterval = 1.0;
    static constexpr double persistenceDelay = 10.0;

    // Loads the stored sessions and drops those older than 90 days (counting them), records
    // today as a day of use and starts observing the application's activation. Starts no
    // session.
    static std::shared_ptr<SessionManager> create();
    ~SessionManager() override;

    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    // Stops the current session and starts counting a new one now. With no recent session the
    // installation counts as new: the first-session day becomes today and
    // "Tally.Acquisition.newInstallDetected" is sent.
    void startNewSession() override;
    RetentionFigures retentionFigures() override;

    std::vector<StoredSession> recentSessions() const;
    // The stored day of the first session, else today.
    std::string firstSessionDate() const;
    std::vector<std::string> distinctDaysUsed() const;
    // -1 without sessions; the only session's duration; else the mean of all but the current
    // (last) one, truncated.
    std::int64_t averageSessionSeconds() const;
    // How many of the ISO dates are on or after the cutoff day (text order).
    static std::int64_t countISODatesOnOrAfter(const std::vector<std::string>& dates,
                                               std::string_view cutoffISODate);

    // Adds the active time since the last update to the current session.
    void updateSessionDuration();
    // The application stopped being active: accrue, stop counting, write soon.
    void handleDidEnterBackgroundNotification();
    // The application became active: count again, when a session was started.
    void handleWillEnterForegroundNotification();
    // Writes what is not written yet and waits for every queued write.
    void flush();

    // The suite's form of the sessions: [{"st": whole seconds since 1970, "dn": seconds}].
    static json::Value encodeSessions(const std::vector<StoredSession>& sessions);
    // None unless every element has both keys with numbers.
    static std::optional<std::vector<StoredSession>> decodeSessions(const json::Value& value);

private:
    SessionManager();

    void load();
    void updateDistinctDaysUsed();
    void observe();
    void updateSessionDurationLocked();
    void persistCurrentSessionIfNeededLocked();
    void stopSessionTimerLocked();
    void scheduleTickLocked();
    void tick(std::uint64_t generation);
    void writeSessions();
    void store(std::string key, json::Value value);

    const std::shared_ptr<system::SerialQueue> m_persistenceQueue;
    mutable std::mutex m_mutex;
    std::vector<StoredSession> m_recentSessions;
    // Absent until a session is started: a session nobody started must not collect time.
    std::optional<Date> m_currentSessionStartedAt;
    double m_currentSessionDuration = 0;
    std::shared_ptr<system::OneShotTimer> m_sessionDurationUpdater;
    std::uint64_t m_timerGeneration = 0;
    std::optional<Date> m_sessionDurationLastUpdatedAt;
    bool m_writePending = false;
    Subscription m_resignObserver;
    Subscription m_activeObserver;
    Subscription m_terminateObserver;
};

}  // namespace vorn::tally
