#include "CrashBackend.h"

namespace vorn {

void CrashOptions::setDsn(std::string dsn) {
    m_dsn = std::move(dsn);
    m_setOrder.emplace_back("dsn");
}

void CrashOptions::setEnableAutoSessionTracking(bool enabled) {
    m_enableAutoSessionTracking = enabled;
    m_setOrder.emplace_back("enableAutoSessionTracking");
}

void CrashOptions::setTracesSampleRate(double rate) {
    m_tracesSampleRate = rate;
    m_setOrder.emplace_back("tracesSampleRate");
}

void CrashOptions::setSendDefaultPii(bool enabled) {
    m_sendDefaultPii = enabled;
    m_setOrder.emplace_back("sendDefaultPii");
}

void CrashOptions::setEnableUncaughtExceptionReporting(bool enabled) {
    m_enableUncaughtExceptionReporting = enabled;
    m_setOrder.emplace_back("enableUncaughtExceptionReporting");
}

void CrashOptions::setReleaseName(std::string name) {
    m_releaseName = std::move(name);
    m_setOrder.emplace_back("releaseName");
}

void CrashOptions::setEnvironment(std::string environment) {
    m_environment = std::move(environment);
    m_setOrder.emplace_back("environment");
}

void CrashOptions::setDebug(bool enabled) {
    m_debug = enabled;
    m_setOrder.emplace_back("debug");
}

}  // namespace vorn
