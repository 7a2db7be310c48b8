#include "PirateMetrics/SessionManager.h"

#include <cmath>

#include "Helpers/ClientDomain.h"
#include "System/CivilTime.h"
#include "System/Dispatch.h"
#include "System/TimeSource.h"
#include "System/TimeZone.h"
#include "Tally.h"
#include "TallyManager.h"

namespace vorn::tally {
namespace {

constexpr const char* recentSessionsKey = "recentSessions";
constexpr const char* deletedSessionsCountKey = "deletedSessionsCount";
constexpr const char* firstSessionDateKey = "firstSessionDate";
constexpr const char* distinctDaysUsedKey = "distinctDaysUsed";

std::string today() {
    const Date now = system::now();
    return system::isoDate(now, system::utcOffsetSeconds(now));
}

void logError(const std::string& message) {
    TallyManager::shared()->configuration()->log(LogHandler::LogLevel::error, message);
}

}  // namespace

SessionManager::SessionManager()
    : m_persistenceQueue(
        std::make_shared<system::SerialQueue>(clientLabel("sessionmanager.persistence"))) {}

SessionManager::~SessionManager() {
    // Handlers may be running on other threads; the tokens wait for them.
    m_resignObserver.reset();
    m_activeObserver.reset();
    m_terminateObserver.reset();
    std::lock_guard lock(m_mutex);
    stopSessionTimerLocked();
}

std::shared_ptr<SessionManager> SessionManager::create() {
    std::shared_ptr<SessionManager> manager(new SessionManager);
    manager->load();
    manager->updateDistinctDaysUsed();
    manager->observe();
    return manager;
}

void SessionManager::load() {
    const auto suite = Tally::customDefaults();
    if (!suite) {
        return;
    }
    const auto stored = suite->value(recentSessionsKey);
    if (!stored) {
        return;
    }
    auto decoded = decodeSessions(*stored);
    if (!decoded) {
        // Kept on disk until the next session is recorded, as a lost history cannot be rebuilt.
        logError("Ignored unreadable recent sessions");
        return;
    }
    const Date cutoff = system::now().adding(-retentionPeriod);
    std::vector<StoredSession> kept;
    for (const auto& session : *decoded) {
        if (session.startedAt > cutoff) {
            kept.push_back(session);
        }
    }
    const auto leftOut = static_cast<std::int64_t>(decoded->size() - kept.size());
    const std::int64_t deleted = suite->integer(deletedSessionsCountKey).value_or(0) + leftOut;
    {
        std::lock_guard lock(m_mutex);
        m_recentSessions = std::move(kept);
    }
    store(deletedSessionsCountKey, deleted);
}

void SessionManager::updateDistinctDaysUsed() {
    const std::string day = today();
    auto days = distinctDaysUsed();
    if (days.empty() || days.back() != day) {
        days.push_back(day);
        store(distinctDaysUsedKey, days);
    }
}

void SessionManager::observe() {
    auto& center = system::NotificationCenter::defaultCenter();
    std::weak_ptr<SessionManager> weak = weak_from_this();
    m_resignObserver = center.addObserver(system::Notification::willResignActive, [weak] {
        if (const auto self = weak.lock()) {
            self->handleDidEnterBackgroundNotification();
        }
    });
    m_activeObserver = center.addObserver(system::Notification::didBecomeActive, [weak] {
        if (const auto self = weak.lock()) {
            self->handleWillEnterForegroundNotification();
        }
    });
    m_terminateObserver = center.addObserver(system::Notification::willTerminate, [weak] {
        if (const auto self = weak.lock()) {
            self->flush();
        }
    });
}

void SessionManager::startNewSession() {
    bool newInstallation = false;
    {
        std::lock_guard lock(m_mutex);
        stopSessionTimerLocked();
        newInstallation = m_recentSessions.empty();
    }
    if (newInstallation) {
        const std::string day = today();
        store(firstSessionDateKey, day);
        Tally::internalSignal("Tally.Acquisition.newInstallDetected",
                              {{"Tally.Acquisition.firstSessionDate", day}});
    }
    std::lock_guard lock(m_mutex);
    m_currentSessionStartedAt = system::now();
    m_currentSessionDuration = 0;
    updateSessionDurationLocked();
    scheduleTickLocked();
}

RetentionFigures SessionManager::retentionFigures() {
    RetentionFigures figures;
    figures.firstSessionDate = firstSessionDate();
    figures.averageSessionSeconds = averageSessionSeconds();
    figures.distinctDaysUsed = distinctDaysUsed();
    const auto sessions = recentSessions();
    std::int64_t deleted = 0;
    if (const auto suite = Tally::customDefaults()) {
        deleted = suite->integer(deletedSessionsCountKey).value_or(0);
    }
    figures.totalSessionsCount = static_cast<std::int64_t>(sessions.size()) + deleted;
    if (sessions.size() >= 2) {
        figures.previousSessionSeconds = sessions[sessions.size() - 2].durationInSeconds;
    }
    return figures;
}

std::vector<SessionManager::StoredSession> SessionManager::recentSessions() const {
    std::lock_guard lock(m_mutex);
    return m_recentSessions;
}

std::string SessionManager::firstSessionDate() const {
    if (const auto suite = Tally::customDefaults()) {
        if (auto stored = suite->string(firstSessionDateKey)) {
            return *stored;
        }
    }
    return today();
}

std::vector<std::string> SessionManager::distinctDaysUsed() const {
    if (const auto suite = Tally::customDefaults()) {
        return suite->stringList(distinctDaysUsedKey).value_or(std::vector<std::string>{});
    }
    return {};
}

std::int64_t SessionManager::averageSessionSeconds() const {
    std::lock_guard lock(m_mutex);
    if (m_recentSessions.empty()) {
        return -1;
    }
    if (m_recentSessions.size() == 1) {
        return m_recentSessions.front().durationInSeconds;
    }
    std::int64_t sum = 0;
    for (std::size_t i = 0; i + 1 < m_recentSessions.size(); ++i) {
        sum += m_recentSessions[i].durationInSeconds;
    }
    return sum / static_cast<std::int64_t>(m_recentSessions.size() - 1);
}

std::int64_t SessionManager::countISODatesOnOrAfter(const std::vector<std::string>& dates,
                                                    std::string_view cutoffISODate) {
    std::int64_t count = 0;
    for (const auto& date : dates) {
        count += date >= cutoffISODate ? 1 : 0;
    }
    return count;
}

void SessionManager::updateSessionDuration() {
    std::lock_guard lock(m_mutex);
    updateSessionDurationLocked();
}

void SessionManager::handleDidEnterBackgroundNotification() {
    bool write = false;
    {
        std::lock_guard lock(m_mutex);
        updateSessionDurationLocked();
        stopSessionTimerLocked();
        write = m_writePending;
    }
    if (write) {
        std::weak_ptr<SessionManager> weak = weak_from_this();
        m_persistenceQueue->async([weak] {
            if (const auto self = weak.lock()) {
                self->writeSessions();
            }
        });
    }
}

void SessionManager::handleWillEnterForegroundNotification() {
    std::lock_guard lock(m_mutex);
    if (!m_currentSessionStartedAt) {
        return;
    }
    updateSessionDurationLocked();
    scheduleTickLocked();
}

void SessionManager::flush() {
    m_persistenceQueue->sync([this] { writeSessions(); });
}

void SessionManager::updateSessionDurationLocked() {
    if (!m_currentSessionStartedAt) {
        return;
    }
    const Date now = system::now();
    if (m_sessionDurationLastUpdatedAt) {
        // A wall clock set back must not take time away.
        const double elapsed = now.secondsSince(*m_sessionDurationLastUpdatedAt);
        if (elapsed > 0) {
            m_currentSessionDuration += elapsed;
        }
    }
    m_sessionDurationLastUpdatedAt = now;
    persistCurrentSessionIfNeededLocked();
}

void SessionManager::persistCurrentSessionIfNeededLocked() {
    if (!m_currentSessionStartedAt || !(m_currentSessionDuration >= 1.0)) {
        return;
    }
    const auto seconds = static_cast<std::int64_t>(std::trunc(m_currentSessionDuration));
    bool found = false;
    for (auto it = m_recentSessions.rbegin(); it != m_recentSessions.rend(); ++it) {
        if (it->startedAt == *m_currentSessionStartedAt) {
            it->durationInSeconds = seconds;
            found = true;
            break;
        }
    }
    if (!found) {
        m_recentSessions.push_back({*m_currentSessionStartedAt, seconds});
    }
    if (m_writePending) {
        return;
    }
    m_writePending = true;
    std::weak_ptr<SessionManager> weak = weak_from_this();
    system::asyncAfter(m_persistenceQueue, persistenceDelay, [weak] {
        if (const auto self = weak.lock()) {
            self->writeSessions();
        }
    });
}

void SessionManager::stopSessionTimerLocked() {
    if (m_sessionDurationUpdater) {
        m_sessionDurationUpdater->cancel();
        m_sessionDurationUpdater.reset();
    }
    ++m_timerGeneration;
    m_sessionDurationLastUpdatedAt.reset();
}

void SessionManager::scheduleTickLocked() {
    if (m_sessionDurationUpdater) {
        m_sessionDurationUpdater->cancel();
    }
    const std::uint64_t generation = ++m_timerGeneration;
    std::weak_ptr<SessionManager> weak = weak_from_this();
    m_sessionDurationUpdater =
        system::OneShotTimer::start(system::mainQueue(), tickInterval, [weak, generation] {
            if (const auto self = weak.lock()) {
                self->tick(generation);
            }
        });
}

void SessionManager::tick(std::uint64_t generation) {
    std::lock_guard lock(m_mutex);
    // A timer replaced or stopped while its tick was on its way must not count twice.
    if (generation != m_timerGeneration) {
        return;
    }
    updateSessionDurationLocked();
    scheduleTickLocked();
}

void SessionManager::writeSessions() {
    std::vector<StoredSession> sessions;
    {
        std::lock_guard lock(m_mutex);
        if (!m_writePending) {
            return;
        }
        m_writePending = false;
        sessions = m_recentSessions;
    }
    if (const auto suite = Tally::customDefaults()) {
        suite->set(recentSessionsKey, encodeSessions(sessions));
    }
}

void SessionManager::store(std::string key, json::Value value) {
    m_persistenceQueue->async([key = std::move(key), value = std::move(value)] {
        if (const auto suite = Tally::customDefaults()) {
            suite->set(key, value);
        }
    });
}

json::Value SessionManager::encodeSessions(const std::vector<StoredSession>& sessions) {
    json::Value list = json::Value::array();
    for (const auto& session : sessions) {
        const auto start = static_cast<std::int64_t>(std::trunc(session.startedAt.unixSeconds()));
        list.push_back(json::Value{{"st", start}, {"dn", session.durationInSeconds}});
    }
    return list;
}

std::optional<std::vector<SessionManager::StoredSession>> SessionManager::decodeSessions(
    const json::Value& value) {
    if (!value.is_array()) {
        return std::nullopt;
    }
    std::vector<StoredSession> sessions;
    for (const auto& element : value) {
        if (!element.is_object()) {
            return std::nullopt;
        }
        const auto start = json::asDouble(json::member(element, "st"));
        const auto duration = json::asInt(json::member(element, "dn"));
        // Beyond this a start is no date at all, and would not convert back to whole seconds.
        constexpr double latestStart = 1e13;
        if (!start || !duration || std::fabs(*start) > latestStart) {
            return std::nullopt;
        }
        sessions.push_back({Date::fromUnix(*start), *duration});
    }
    return sessions;
}

}  // namespace vorn::tally
