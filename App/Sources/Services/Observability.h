#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "CrashBackend.h"
#include "Deployment.h"
#include "ReleaseInfo.h"
#include "TallySink.h"
#include "Telemetry.h"

namespace vorn::tally {
class TallyConfiguration;
}

namespace vorn {

// What start-up hands to Observability; everything but the data directory has a default.
struct ObservabilitySetup {
    // Where crash records are kept.
    std::filesystem::path dataDirectory;
    DeploymentConstants deployment = DeploymentConstants::current();
    ReleaseInfo bundle = ReleaseInfo::current();
    // None: the program's CrashReporter over the data directory.
    std::shared_ptr<CrashBackend> crashBackend;
    // Installs the analytics client; none: tally::Tally::initialize.
    std::function<void(std::shared_ptr<tally::TallyConfiguration>)> startAnalytics;
    // Removes the analytics client and everything it keeps; none:
    // tally::ClientData::terminateAndErase.
    std::function<void()> stopAnalytics;
};

// The one place that decides whether anything leaves the machine. With the user's consent it
// starts crash reporting and then the analytics client, and its sink feeds the client; without
// consent it starts nothing, deletes waiting crash records unsent, and its sink drops every
// event. The user may change the answer at any time (setConsented). Used on the main thread.
class Observability final {
public:
    Observability(bool consented, ObservabilitySetup setup);

    Observability(const Observability&) = delete;
    Observability& operator=(const Observability&) = delete;

    // Starts the services, once; later calls do nothing. A service whose deployment constant
    // is empty is not started, and one log line says so.
    void start();

    // Applies a changed answer at once. Withdrawn: crash reporting and the analytics client
    // stop for this run, and what they keep is deleted (waiting crash records; the client's
    // signal cache, user identifier and statistics); the sink drops every event. Given: what
    // start() starts is started now, and the next event is sent. Before start() only the flag
    // changes.
    void setConsented(bool consented);

    // The same sink for the whole run (the sidebar models keep it): a TallySink that forwards
    // while consent holds and drops otherwise.
    std::shared_ptr<TelemetrySink> sink() const { return m_sink; }
    bool consented() const { return m_consented; }

private:
    void startServices();
    void startCrashReporting();
    void startTelemetry();
    void stopServices();
    CrashBackend& crashBackend();

    const std::shared_ptr<TallySink> m_sink;
    bool m_consented;
    ObservabilitySetup m_setup;
    bool m_started = false;
    bool m_telemetryRunning = false;
};

}  // namespace vorn
