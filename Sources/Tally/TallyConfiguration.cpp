#include "TallyConfiguration.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "Crypto.h"
#include "PirateMetrics/SessionStatistics.h"
#include "Tally.h"

namespace vorn::tally {

TallyConfiguration::TallyConfiguration(std::string appID,
                                       std::optional<std::string> salt,
                                       std::optional<std::string> baseURL,
                                       std::optional<std::string> apiNamespace)
    : m_tallyAppID(std::move(appID))
    , m_apiBaseURL(baseURL ? std::move(*baseURL) : std::string(defaultBaseURL))
    , m_apiNamespace(std::move(apiNamespace))
    , m_salt(salt ? std::move(*salt) : std::string()) {
    // Set directly, not through setSessionID: the first identifier starts no session.
    m_fields.sessionID = host::randomUuid();
    m_fields.urlSession = host::HttpSession::shared();
}

std::optional<std::string> TallyConfiguration::defaultUser() const {
    return read(&Fields::defaultUser);
}

void TallyConfiguration::setDefaultUser(std::optional<std::string> user) {
    write(&Fields::defaultUser, std::move(user));
}

std::optional<std::string> TallyConfiguration::defaultSignalPrefix() const {
    return read(&Fields::defaultSignalPrefix);
}

void TallyConfiguration::setDefaultSignalPrefix(std::optional<std::string> prefix) {
    write(&Fields::defaultSignalPrefix, std::move(prefix));
}

std::optional<std::string> TallyConfiguration::defaultParameterPrefix() const {
    return read(&Fields::defaultParameterPrefix);
}

void TallyConfiguration::setDefaultParameterPrefix(std::optional<std::string> prefix) {
    write(&Fields::defaultParameterPrefix, std::move(prefix));
}

TallyConfiguration::DefaultParameters TallyConfiguration::defaultParameters() const {
    return read(&Fields::defaultParameters);
}

void TallyConfiguration::setDefaultParameters(DefaultParameters function) {
    if (!function) {
        function = [] { return Parameters{}; };
    }
    write(&Fields::defaultParameters, std::move(function));
}

bool TallyConfiguration::sendNewSessionBeganSignal() const {
    return read(&Fields::sendNewSessionBeganSignal);
}

void TallyConfiguration::setSendNewSessionBeganSignal(bool enabled) {
    write(&Fields::sendNewSessionBeganSignal, enabled);
}

Uuid TallyConfiguration::sessionID() const {
    return read(&Fields::sessionID);
}

void TallyConfiguration::setSessionID(Uuid sessionID) {
    write(&Fields::sessionID, sessionID);
    // Outside the lock: both steps read this configuration again.
    if (sessionStatsEnabled()) {
        if (const auto statistics = sessionStatistics()) {
            statistics->startNewSession();
        }
    }
    if (sendNewSessionBeganSignal()) {
        Tally::internalSignal("Tally.Session.started");
    }
}

std::shared_ptr<host::HttpSession> TallyConfiguration::urlSession() const {
    return read(&Fields::urlSession);
}

void TallyConfiguration::setUrlSession(std::shared_ptr<host::HttpSession> session) {
    write(&Fields::urlSession, session ? std::move(session) : host::HttpSession::shared());
}

long long TallyConfiguration::cacheLimit() const {
    return read(&Fields::cacheLimit);
}

void TallyConfiguration::setCacheLimit(long long limit) {
    if (limit < 0) {
        log(LogHandler::LogLevel::error,
            "Negative cacheLimit taken as 0 value=" + std::to_string(limit));
        limit = 0;
    }
    write(&Fields::cacheLimit, limit);
}

double TallyConfiguration::clampedInterval(const char* name,
                                           double seconds,
                                           double fallback) const {
    double clamped = seconds;
    if (std::isnan(seconds)) {
        clamped = fallback;
    } else if (seconds < shortestInterval) {
        clamped = shortestInterval;
    } else if (seconds > longestInterval) {
        clamped = longestInterval;
    }
    if (clamped != seconds) {
        std::ostringstream message;
        message << "Interval out of range " << name << "=" << seconds << " using=" << clamped;
        log(LogHandler::LogLevel::error, message.str());
    }
    return clamped;
}

double TallyConfiguration::transmitInterval() const {
    return read(&Fields::transmitInterval);
}

void TallyConfiguration::setTransmitInterval(double seconds) {
    write(&Fields::transmitInterval,
          clampedInterval("transmitInterval", seconds, defaultTransmitInterval));
}

double TallyConfiguration::maxBackoffInterval() const {
    return read(&Fields::maxBackoffInterval);
}

void TallyConfiguration::setMaxBackoffInterval(double seconds) {
    write(&Fields::maxBackoffInterval,
          clampedInterval("maxBackoffInterval", seconds, defaultMaxBackoffInterval));
}

bool TallyConfiguration::sendSignalsInDebugConfiguration() const {
    return read(&Fields::sendSignalsInDebugConfiguration);
}

void TallyConfiguration::setSendSignalsInDebugConfiguration(bool enabled) {
    write(&Fields::sendSignalsInDebugConfiguration, enabled);
}

bool TallyConfiguration::showDebugLogs() const {
    return read(&Fields::showDebugLogs);
}

void TallyConfiguration::setShowDebugLogs(bool enabled) {
    write(&Fields::showDebugLogs, enabled);
}

bool TallyConfiguration::testMode() const {
    return read(&Fields::testMode).value_or(false);
}

void TallyConfiguration::setTestMode(bool enabled) {
    write(&Fields::testMode, enabled);
}

bool TallyConfiguration::previewMode() const {
    if (const auto explicitSetting = read(&Fields::previewMode)) {
        return *explicitSetting;
    }
    const char* value = std::getenv("XCODE_RUNNING_FOR_PREVIEWS");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void TallyConfiguration::setPreviewMode(bool enabled) {
    write(&Fields::previewMode, enabled);
}

bool TallyConfiguration::analyticsDisabled() const {
    return read(&Fields::analyticsDisabled);
}

void TallyConfiguration::setAnalyticsDisabled(bool disabled) {
    write(&Fields::analyticsDisabled, disabled);
}

bool TallyConfiguration::reservedParameterWarningsEnabled() const {
    return read(&Fields::reservedParameterWarningsEnabled);
}

void TallyConfiguration::setReservedParameterWarningsEnabled(bool enabled) {
    write(&Fields::reservedParameterWarningsEnabled, enabled);
}

bool TallyConfiguration::sessionStatsEnabled() const {
    return read(&Fields::sessionStatsEnabled);
}

void TallyConfiguration::setSessionStatsEnabled(bool enabled) {
    write(&Fields::sessionStatsEnabled, enabled);
}

std::optional<LogHandler> TallyConfiguration::logHandler() const {
    return read(&Fields::logHandler);
}

void TallyConfiguration::setLogHandler(std::optional<LogHandler> handler) {
    write(&Fields::logHandler, std::move(handler));
}

std::vector<std::shared_ptr<SignalEnricher>> TallyConfiguration::metadataEnrichers() const {
    return read(&Fields::metadataEnrichers);
}

void TallyConfiguration::setMetadataEnrichers(
    std::vector<std::shared_ptr<SignalEnricher>> enrichers) {
    write(&Fields::metadataEnrichers, std::move(enrichers));
}

void TallyConfiguration::log(LogHandler::LogLevel level, const std::string& message) const {
    // Copied out, so that a slow handler never holds the lock.
    if (const auto handler = logHandler()) {
        handler->log(level, message);
    }
}

}  // namespace vorn::tally
