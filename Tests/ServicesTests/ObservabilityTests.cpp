#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "CrashHandler.h"
#include "CrashRecord.h"
#include "CrashReporter.h"
#include "FileIO.h"
#include "LoopbackHttpServer.h"
#include "Observability.h"
#include "Signals/HostInformation.h"
#include "Signals/SignalManager.h"
#include "System/Dispatch.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallySink.h"
#include "TallyTestEnvironment.h"

namespace vorn {
namespace {

// Remembers what start-up asked of crash reporting, in one list with the analytics start.
class RecordingCrashBackend final : public CrashBackend {
public:
    explicit RecordingCrashBackend(std::vector<std::string>& events)
        : m_events(events) {}

    void start(const std::function<void(CrashOptions&)>& configure) override {
        m_events.push_back("crash reporting");
        configure(options);
        ++starts;
    }
    void stop() override { m_events.push_back("crash reporting stopped"); }
    void discardPendingReports() override { ++discards; }

    CrashOptions options;
    int starts = 0;
    int discards = 0;

private:
    std::vector<std::string>& m_events;
};

// Whether the sink hands events on to the analytics client.
bool forwards(const Observability& observability) {
    const auto* sink = dynamic_cast<const TallySink*>(observability.sink().get());
    return sink != nullptr && sink->isEnabled();
}

class ObservabilityTests : public tally::test::TallyTest {
protected:
    ObservabilitySetup setup() {
        ObservabilitySetup setup;
        setup.dataDirectory = temp / "data";
        setup.deployment = {"http://key@127.0.0.1:9/42", "APP-ID", "http://127.0.0.1:9/"};
        setup.bundle = {"1.4.2", "57"};
        setup.crashBackend = backend;
        setup.startAnalytics = [this](std::shared_ptr<tally::TallyConfiguration> configuration) {
            events.push_back("analytics");
            analytics = configuration;
            tally::Tally::initialize(configuration);
        };
        return setup;
    }

    std::vector<std::string> observabilityLines() const {
        return logSink.messages("observability");
    }

    // Every file below a folder, however deep.
    static std::vector<std::string> filesBelow(const std::filesystem::path& folder) {
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
            if (!entry.is_directory()) {
                files.push_back(entry.path().string());
            }
        }
        return files;
    }

    std::vector<std::string> events;
    std::shared_ptr<RecordingCrashBackend> backend =
        std::make_shared<RecordingCrashBackend>(events);
    std::shared_ptr<tally::TallyConfiguration> analytics;
    test::CapturingLogSink logSink;
};

TEST_F(ObservabilityTests, CrashReportingStartsFirstWithItsOptionsInOrder) {
    Observability observability(true, setup());
    observability.start();
    observability.start();

    EXPECT_EQ(events, (std::vector<std::string>{"crash reporting", "analytics"}));
    EXPECT_EQ(backend->starts, 1);
    const auto& options = backend->options;
    EXPECT_EQ(options.setOrder(),
              (std::vector<std::string>{"dsn", "enableAutoSessionTracking", "tracesSampleRate",
                                        "sendDefaultPii", "enableUncaughtExceptionReporting",
                                        "releaseName", "environment", "debug"}));
    EXPECT_EQ(options.dsn(), "http://key@127.0.0.1:9/42");
    EXPECT_FALSE(options.enableAutoSessionTracking());
    EXPECT_EQ(options.tracesSampleRate(), 0.0);
    EXPECT_FALSE(options.sendDefaultPii());
    EXPECT_TRUE(options.enableUncaughtExceptionReporting());
    EXPECT_EQ(options.releaseName(), "org.vorn.Vorn@1.4.2+57");
    EXPECT_EQ(options.environment(), "production");
    EXPECT_FALSE(options.debug());
    EXPECT_EQ(observabilityLines(),
              (std::vector<std::string>{"crash reporting started", "telemetry started"}));
}

TEST_F(ObservabilityTests, ReleaseNamesWithMissingVersionKeys) {
    const std::pair<ReleaseInfo, const char*> cases[] = {
        {{"1.4.2", "57"}, "org.vorn.Vorn@1.4.2+57"},
        {{std::nullopt, std::nullopt}, "org.vorn.Vorn@0.0.0+0"},
        {{"2.0", std::nullopt}, "org.vorn.Vorn@2.0+0"},
        {{std::nullopt, "8"}, "org.vorn.Vorn@0.0.0+8"},
    };
    for (const auto& [bundle, release] : cases) {
        events.clear();
        backend = std::make_shared<RecordingCrashBackend>(events);
        auto configured = setup();
        configured.bundle = bundle;
        configured.startAnalytics = [](std::shared_ptr<tally::TallyConfiguration>) {};
        Observability observability(true, configured);
        observability.start();
        EXPECT_EQ(backend->options.releaseName(), release);
    }
    // This build's version comes from the project; an unset build number is unknown, not empty.
    EXPECT_FALSE(ReleaseInfo::current().shortVersion.value_or("").empty());
    EXPECT_NE(ReleaseInfo::current().buildNumber, "");
    // The version the program shows, on its command line too, is never empty.
    const ReleaseInfo unset{std::nullopt, std::nullopt};
    EXPECT_EQ(unset.version(), "0.0.0");
    EXPECT_EQ(unset.build(), "0");
}

TEST_F(ObservabilityTests, TheAnalyticsClientGetsTheDeploymentAndAppLaunchedComesFirst) {
    Observability observability(true, setup());
    observability.start();
    observability.sink()->send(TelemetryEvent::appLaunched());
    observability.sink()->send(TelemetryEvent::placementApplied(PlacementMode::center));

    ASSERT_TRUE(analytics);
    EXPECT_EQ(analytics->tallyAppID(), "APP-ID");
    EXPECT_EQ(analytics->apiBaseURL(), "http://127.0.0.1:9/");
    EXPECT_FALSE(analytics->apiNamespace());
    EXPECT_EQ(analytics->salt(), "");
    EXPECT_FALSE(analytics->sendNewSessionBeganSignal());
    EXPECT_FALSE(analytics->sessionStatsEnabled());
    EXPECT_EQ(tally::applicationInfo().shortVersion, "1.4.2");
    EXPECT_EQ(tally::applicationInfo().buildNumber, "57");
    EXPECT_TRUE(forwards(observability));

    // The session start half a second later announces nothing.
    time->advance(1);
    settle();
    const auto processed = installedManager()->processed();
    ASSERT_EQ(processed.size(), 2u);
    EXPECT_EQ(processed[0].name, "App.launched");
    EXPECT_TRUE(processed[0].parameters.empty());
    EXPECT_EQ(processed[1].name,
              std::string(TelemetryEvent::placementApplied(PlacementMode::center).signalName()));
    EXPECT_EQ(processed[1].parameters,
              TelemetryEvent::placementApplied(PlacementMode::center).parameters());
}

TEST_F(ObservabilityTests, WithoutConsentOneLineAndNothingWritten) {
    Observability observability(false, setup());
    observability.start();
    for (const auto& event :
         {TelemetryEvent::appLaunched(), TelemetryEvent::axPromptShown(),
          TelemetryEvent::feedbackSent(), TelemetryEvent::updateCheckRequested()}) {
        observability.sink()->send(event);
    }
    time->advance(600);
    settle();

    EXPECT_EQ(observabilityLines(),
              std::vector<std::string>{"observability disabled: no telemetry consent"});
    EXPECT_EQ(logSink.lines().size(), 1u);
    EXPECT_FALSE(forwards(observability));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(backend->discards, 1);
    EXPECT_FALSE(tally::Tally::customDefaults());
    EXPECT_EQ(filesBelow(temp / "cache"), std::vector<std::string>{});
    EXPECT_EQ(filesBelow(temp / "config"), std::vector<std::string>{});
}

TEST_F(ObservabilityTests, WithoutConsentWaitingCrashRecordsAreDeleted) {
    auto configured = setup();
    configured.crashBackend = nullptr;
    const auto reports = CrashReporter::reportsDirectory(configured.dataDirectory);
    std::filesystem::create_directories(reports);
    test::writeText(reports / "100-1.json", R"({"kind":"signal","type":"SIGSEGV","timestamp":1})");
    Observability observability(false, configured);
    observability.start();
    EXPECT_TRUE(pendingCrashRecords(reports).empty());
}

TEST_F(ObservabilityTests, AServiceWithoutItsConstantStaysOff) {
    struct Case {
        DeploymentConstants deployment;
        std::vector<std::string> events;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"", "APP-ID", "http://127.0.0.1:9/"},
         {"analytics"},
         {"crash reporting not started: no DSN in this build", "telemetry started"}},
        {{"http://key@127.0.0.1:9/42", "", "http://127.0.0.1:9/"},
         {"crash reporting"},
         {"crash reporting started",
          "telemetry not started: no analytics app id or base address in this build"}},
        {{"http://key@127.0.0.1:9/42", "APP-ID", ""},
         {"crash reporting"},
         {"crash reporting started",
          "telemetry not started: no analytics app id or base address in this build"}},
    };
    for (const auto& c : cases) {
        events.clear();
        logSink.clear();
        auto configured = setup();
        configured.deployment = c.deployment;
        configured.startAnalytics = [this](std::shared_ptr<tally::TallyConfiguration>) {
            events.push_back("analytics");
        };
        Observability observability(true, configured);
        observability.start();
        EXPECT_EQ(events, c.events) << c.deployment.crashDSN << c.deployment.analyticsAppID;
        EXPECT_EQ(observabilityLines(), c.lines);
    }
}

TEST_F(ObservabilityTests, AnswersChangedLaterApplyAtOnce) {
    Observability observability(false, setup());
    observability.setConsented(true);
    EXPECT_TRUE(events.empty());
    observability.start();
    EXPECT_EQ(events, (std::vector<std::string>{"crash reporting", "analytics"}));

    bool erased = false;
    auto withStop = setup();
    withStop.stopAnalytics = [&] { erased = true; };
    Observability later(true, withStop);
    later.start();
    events.clear();
    later.setConsented(false);
    later.setConsented(false);
    EXPECT_TRUE(erased);
    EXPECT_EQ(events, std::vector<std::string>{"crash reporting stopped"});
    EXPECT_EQ(backend->discards, 1);
    EXPECT_FALSE(forwards(later));
    later.setConsented(true);
    EXPECT_EQ(events, (std::vector<std::string>{"crash reporting stopped", "crash reporting",
                                                "analytics"}));
    EXPECT_TRUE(forwards(later));
}

// The whole withdrawal against loopback services: the real analytics client and the real crash
// reporter.
TEST_F(ObservabilityTests, WithdrawnConsentStopsBothServicesAndDeletesWhatTheyKept) {
    tally::TallyManager::setSignalManagerFactory(nullptr);
    test::LoopbackHttpServer analyticsServer;
    test::LoopbackHttpServer crashServer;
    // Deferred: the records stay until the withdrawal deletes them.
    crashServer.replyWith(429);
    auto configured = setup();
    configured.startAnalytics = nullptr;
    configured.deployment = {"http://key@127.0.0.1:" + std::to_string(crashServer.port()) + "/42",
                             "APP-ID", analyticsServer.url("/")};
    const auto reports = CrashReporter::reportsDirectory(configured.dataDirectory);
    std::filesystem::create_directories(reports);
    const double now = Date::now().unixSeconds();
    for (int i = 1; i <= 3; ++i) {
        test::writeText(reports / (std::to_string(i) + "00-1.json"),
                        R"({"kind":"signal","type":"SIGSEGV","signal":11,"timestamp":)"
                            + std::to_string(now - i) + "}");
    }
    auto reporter = std::make_shared<CrashReporter>(configured.dataDirectory,
                                                    std::make_shared<host::CurlHttpSession>());
    configured.crashBackend = reporter;

    Observability observability(true, configured);
    observability.start();
    ASSERT_TRUE(reporter->flush(std::chrono::seconds(10)));
    EXPECT_EQ(crashServer.requests().size(), 1u);
    EXPECT_TRUE(CrashHandler::isRecording());
    // The client's first attempt and session start pass with nothing to send.
    tally::system::waitForGlobalUtilityQueue();
    time->advance(1);
    settle();
    observability.sink()->send(TelemetryEvent::appLaunched());
    settle();
    const auto engine = std::dynamic_pointer_cast<tally::SignalManager>(
        tally::TallyManager::shared()->signalManager());
    ASSERT_TRUE(engine && engine->waitUntilCacheWritten(std::chrono::seconds(10)));
    const auto cacheFile = *tally::SignalCache::defaultFileURL();
    const auto settings = temp / "config" / (tally::Tally::customDefaults()->name() + ".json");
    EXPECT_NE(fileio::readFile(cacheFile).value_or("").find("App.launched"), std::string::npos);
    EXPECT_NE(fileio::readFile(settings).value_or("").find("defaultUserIdentifier"),
              std::string::npos);

    observability.setConsented(false);
    observability.sink()->send(TelemetryEvent::feedbackSent());
    engine->attemptToSendNextBatchOfCachedSignals();
    time->advance(600);
    settle();
    EXPECT_TRUE(analyticsServer.requests().empty());
    EXPECT_EQ(crashServer.requests().size(), 1u);
    EXPECT_FALSE(fileio::exists(cacheFile));
    EXPECT_FALSE(fileio::exists(settings));
    EXPECT_TRUE(pendingCrashRecords(reports).empty());
    EXPECT_FALSE(CrashHandler::isRecording());
    EXPECT_FALSE(tally::TallyManager::isInitialized());

    // Given again, it holds for the very next event.
    observability.setConsented(true);
    EXPECT_TRUE(CrashHandler::isRecording());
    tally::system::waitForGlobalUtilityQueue();
    // The send timer is set on the client's own timer queue: it must stand before the clock
    // moves, or it would be set after the time it waits for has passed.
    const auto renewed = std::dynamic_pointer_cast<tally::SignalManager>(
        tally::TallyManager::shared()->signalManager());
    ASSERT_TRUE(renewed);
    renewed->sendCompletions();
    time->advance(1);
    settle();
    observability.sink()->send(TelemetryEvent::feedbackSent());
    settle();
    time->advance(10);
    ASSERT_TRUE(analyticsServer.waitForRequests(1));
    const auto body = analyticsServer.requests()[0].body;
    EXPECT_NE(body.find(std::string(TelemetryEvent::feedbackSent().signalName())),
              std::string::npos);
    EXPECT_EQ(body.find("App.launched"), std::string::npos);
}

}  // namespace
}  // namespace vorn
