#include "Observability.h"

#include "ClientData.h"
#include "CrashReporter.h"
#include "Log.h"
#include "Signals/HostInformation.h"
#include "Tally.h"
#include "TallyConfiguration.h"

namespace vorn {

Observability::Observability(bool consented, ObservabilitySetup setup)
    : m_sink(std::make_shared<TallySink>(consented))
    , m_consented(consented)
    , m_setup(std::move(setup)) {}

CrashBackend& Observability::crashBackend() {
    if (!m_setup.crashBackend) {
        m_setup.crashBackend = std::make_shared<CrashReporter>(m_setup.dataDirectory);
    }
    return *m_setup.crashBackend;
}

void Observability::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    if (!m_consented) {
        vornObservabilityLog().notice("observability disabled: no telemetry consent");
        // Records of a crash from before: without consent they are not kept either.
        crashBackend().discardPendingReports();
        return;
    }
    startServices();
}

void Observability::setConsented(bool consented) {
    if (consented == m_consented) {
        return;
    }
    m_consented = consented;
    m_sink->setEnabled(consented);
    if (!m_started) {
        return;
    }
    if (consented) {
        startServices();
    } else {
        stopServices();
    }
}

void Observability::startServices() {
    startCrashReporting();
    startTelemetry();
}

void Observability::stopServices() {
    crashBackend().stop();
    crashBackend().discardPendingReports();
    if (m_setup.stopAnalytics) {
        m_setup.stopAnalytics();
    } else {
        tally::ClientData::terminateAndErase();
    }
    m_telemetryRunning = false;
    vornObservabilityLog().notice(
        "observability stopped: crash reporting and telemetry off, their data deleted");
}

void Observability::startCrashReporting() {
    const std::string& dsn = m_setup.deployment.crashDSN;
    if (dsn.empty()) {
        vornObservabilityLog().notice("crash reporting not started: no DSN in this build");
        return;
    }
    const std::string release = m_setup.bundle.releaseName();
    crashBackend().start([&](CrashOptions& options) {
        options.setDsn(dsn);
        options.setEnableAutoSessionTracking(false);
        options.setTracesSampleRate(0.0);
        options.setSendDefaultPii(false);
        options.setEnableUncaughtExceptionReporting(true);
        options.setReleaseName(release);
        options.setEnvironment("production");
        options.setDebug(false);
    });
    vornObservabilityLog().notice("crash reporting started");
}

void Observability::startTelemetry() {
    const auto& deployment = m_setup.deployment;
    if (m_telemetryRunning) {
        return;
    }
    if (deployment.analyticsAppID.empty() || deployment.analyticsBaseURL.empty()) {
        vornObservabilityLog().notice(
            "telemetry not started: no analytics app id or base address in this build");
        return;
    }
    auto configuration = std::make_shared<tally::TallyConfiguration>(
        deployment.analyticsAppID, std::nullopt, deployment.analyticsBaseURL, std::nullopt);
    configuration->setSendNewSessionBeganSignal(false);
    configuration->setSessionStatsEnabled(false);
    tally::setApplicationInfo({m_setup.bundle.shortVersion, m_setup.bundle.buildNumber});
    if (m_setup.startAnalytics) {
        m_setup.startAnalytics(std::move(configuration));
    } else {
        tally::Tally::initialize(std::move(configuration));
    }
    m_telemetryRunning = true;
    vornObservabilityLog().notice("telemetry started");
}

}  // namespace vorn
