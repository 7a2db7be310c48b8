#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Helpers/LogHandler.h"
#include "Helpers/Parameters.h"
#include "HttpSession.h"
#include "Signals/SignalEnricher.h"
#include "Uuid.h"

// The service's default base address. The default never resolves, so that a build that names
// no service of its own sends nothing anywhere.
#ifndef TALLY_DEFAULT_BASE_URL
#define TALLY_DEFAULT_BASE_URL "https://tally.invalid/"
#endif

namespace vorn::tally {

// Every setting of the analytics client. One instance is shared by reference by everything
// that uses it, and each user reads a field at the moment of use, so a change takes effect at
// the next use. Every accessor is safe from any thread; fields are read and written one at a
// time, so a signal in flight may see some fields before and some after a change.
class TallyConfiguration {
public:
    using DefaultParameters = std::function<Parameters()>;

    static constexpr std::string_view defaultBaseURL = TALLY_DEFAULT_BASE_URL;
    static constexpr long long defaultCacheLimit = 10000;
    static constexpr double defaultTransmitInterval = 10.0;
    static constexpr double defaultMaxBackoffInterval = 300.0;
    // Intervals are kept within these bounds: a zero delay would spin, a huge one overflow.
    static constexpr double shortestInterval = 1.0;
    static constexpr double longestInterval = 24.0 * 3600;

    // An absent salt is the empty text; an absent base address the service's default one.
    explicit TallyConfiguration(std::string appID,
                                std::optional<std::string> salt = std::nullopt,
                                std::optional<std::string> baseURL = std::nullopt,
                                std::optional<std::string> apiNamespace = std::nullopt);

    TallyConfiguration(const TallyConfiguration&) = delete;
    TallyConfiguration& operator=(const TallyConfiguration&) = delete;

    const std::string& tallyAppID() const { return m_tallyAppID; }
    const std::string& apiBaseURL() const { return m_apiBaseURL; }
    // Inserted into the ingestion path when present and not empty.
    const std::optional<std::string>& apiNamespace() const { return m_apiNamespace; }
    const std::string& salt() const { return m_salt; }

    std::optional<std::string> defaultUser() const;
    void setDefaultUser(std::optional<std::string> user);
    // Put in front of every name given to Tally::signal.
    std::optional<std::string> defaultSignalPrefix() const;
    void setDefaultSignalPrefix(std::optional<std::string> prefix);
    // Put in front of parameter keys that do not start with "Tally.".
    std::optional<std::string> defaultParameterPrefix() const;
    void setDefaultParameterPrefix(std::optional<std::string> prefix);
    // Called once per signal, on the signalling thread; must be callable from any thread.
    DefaultParameters defaultParameters() const;
    void setDefaultParameters(DefaultParameters function);
    bool sendNewSessionBeganSignal() const;
    void setSendNewSessionBeganSignal(bool enabled);

    Uuid sessionID() const;
    // Starts a new session, even for the same identifier: a new session in the session
    // statistics when sessionStatsEnabled, then the signal "Tally.Session.started" when
    // sendNewSessionBeganSignal; both flags are read now, on this thread.
    void setSessionID(Uuid sessionID);

    // Where batches are uploaded; the process's shared session unless replaced.
    std::shared_ptr<host::HttpSession> urlSession() const;
    // Null restores the shared session.
    void setUrlSession(std::shared_ptr<host::HttpSession> session);

    long long cacheLimit() const;
    // A negative limit is taken as zero.
    void setCacheLimit(long long limit);
    double transmitInterval() const;
    // Kept within shortestInterval and longestInterval; not-a-number restores the default.
    void setTransmitInterval(double seconds);
    double maxBackoffInterval() const;
    // Kept within the same bounds as transmitInterval.
    void setMaxBackoffInterval(double seconds);

    // Stored only; nothing in the client depends on them.
    bool sendSignalsInDebugConfiguration() const;
    void setSendSignalsInDebugConfiguration(bool enabled);
    bool tallyAllowDebugBuilds() const { return sendSignalsInDebugConfiguration(); }
    void setTallyAllowDebugBuilds(bool enabled) { setSendSignalsInDebugConfiguration(enabled); }
    bool showDebugLogs() const;
    void setShowDebugLogs(bool enabled);

    // False until set.
    bool testMode() const;
    void setTestMode(bool enabled);
    // When never set: whether the environment variable "XCODE_RUNNING_FOR_PREVIEWS" is "1",
    // read anew each time. Signals are dropped in preview mode.
    bool previewMode() const;
    void setPreviewMode(bool enabled);

    bool analyticsDisabled() const;
    void setAnalyticsDisabled(bool disabled);
    bool reservedParameterWarningsEnabled() const;
    void setReservedParameterWarningsEnabled(bool enabled);
    bool sessionStatsEnabled() const;
    void setSessionStatsEnabled(bool enabled);

    // Absent means silent.
    std::optional<LogHandler> logHandler() const;
    void setLogHandler(std::optional<LogHandler> handler);
    // Consulted in order for every signal.
    std::vector<std::shared_ptr<SignalEnricher>> metadataEnrichers() const;
    void setMetadataEnrichers(std::vector<std::shared_ptr<SignalEnricher>> enrichers);

    // Logs through the current handler, if any.
    void log(LogHandler::LogLevel level, const std::string& message) const;

private:
    struct Fields {
        std::optional<std::string> defaultUser;
        std::optional<std::string> defaultSignalPrefix;
        std::optional<std::string> defaultParameterPrefix;
        DefaultParameters defaultParameters = [] { return Parameters{}; };
        bool sendNewSessionBeganSignal = true;
        Uuid sessionID;
        std::shared_ptr<host::HttpSession> urlSession;
        long long cacheLimit = defaultCacheLimit;
        double transmitInterval = defaultTransmitInterval;
        double maxBackoffInterval = defaultMaxBackoffInterval;
        bool sendSignalsInDebugConfiguration = false;
        std::optional<bool> testMode;
        std::optional<bool> previewMode;
        bool analyticsDisabled = false;
        bool reservedParameterWarningsEnabled = true;
        bool sessionStatsEnabled = true;
        bool showDebugLogs = false;
        std::optional<LogHandler> logHandler = LogHandler::standard(LogHandler::LogLevel::info);
        std::vector<std::shared_ptr<SignalEnricher>> metadataEnrichers;
    };

    template <typename T>
    T read(T Fields::*field) const {
        std::lock_guard lock(m_mutex);
        return m_fields.*field;
    }
    template <typename T, typename U>
    void write(T Fields::*field, U&& value) {
        std::lock_guard lock(m_mutex);
        m_fields.*field = std::forward<U>(value);
    }
    double clampedInterval(const char* name, double seconds, double fallback) const;

    const std::string m_tallyAppID;
    const std::string m_apiBaseURL;
    const std::optional<std::string> m_apiNamespace;
    const std::string m_salt;
    mutable std::mutex m_mutex;
    Fields m_fields;
};

}  // namespace vorn::tally
