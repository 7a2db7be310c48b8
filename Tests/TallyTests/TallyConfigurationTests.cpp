#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "PirateMetrics/SessionStatistics.h"
#include "Tally.h"
#include "TallyConfiguration.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

using Level = LogHandler::LogLevel;

class CountingStatistics final : public SessionStatistics {
public:
    void startNewSession() override { ++started; }
    RetentionFigures retentionFigures() override { return {}; }
    std::atomic<int> started{0};
};

TEST(TallyConfigurationTests, DefaultsOfAConfigurationWithOnlyAnIdentifier) {
    const TallyConfiguration a("APP");
    const TallyConfiguration b("APP");
    EXPECT_EQ(a.tallyAppID(), "APP");
    EXPECT_EQ(a.salt(), "");
    EXPECT_FALSE(a.apiNamespace());
    EXPECT_EQ(a.apiBaseURL(), TallyConfiguration::defaultBaseURL);
    EXPECT_TRUE(a.apiBaseURL().starts_with("https://"));
    EXPECT_NE(a.sessionID(), b.sessionID());
    EXPECT_EQ(a.cacheLimit(), 10000);
    EXPECT_EQ(a.transmitInterval(), 10.0);
    EXPECT_EQ(a.maxBackoffInterval(), 300.0);
    EXPECT_FALSE(a.testMode());
    EXPECT_FALSE(a.analyticsDisabled());
    EXPECT_TRUE(a.reservedParameterWarningsEnabled());
    EXPECT_TRUE(a.sessionStatsEnabled());
    EXPECT_TRUE(a.sendNewSessionBeganSignal());
    ASSERT_TRUE(a.logHandler());
    EXPECT_EQ(a.logHandler()->logLevel, Level::info);
    EXPECT_FALSE(a.defaultUser());
    EXPECT_FALSE(a.defaultSignalPrefix());
    EXPECT_FALSE(a.defaultParameterPrefix());
    EXPECT_TRUE(a.defaultParameters()().empty());
    EXPECT_TRUE(a.metadataEnrichers().empty());

    const TallyConfiguration full("APP", "pepper", "https://example.test/base", "team");
    EXPECT_EQ(full.salt(), "pepper");
    EXPECT_EQ(full.apiBaseURL(), "https://example.test/base");
    EXPECT_EQ(full.apiNamespace(), "team");
}

TEST(TallyConfigurationTests, ExplicitSwitchesAndTheirAliases) {
    TallyConfiguration configuration("APP");
    configuration.setTestMode(false);
    EXPECT_FALSE(configuration.testMode());
    configuration.setTestMode(true);
    EXPECT_TRUE(configuration.testMode());

    configuration.setTallyAllowDebugBuilds(true);
    EXPECT_TRUE(configuration.sendSignalsInDebugConfiguration());
    configuration.setSendSignalsInDebugConfiguration(false);
    EXPECT_FALSE(configuration.tallyAllowDebugBuilds());

    // A null function would crash the next signal; it means "no defaults".
    configuration.setDefaultParameters(nullptr);
    EXPECT_TRUE(configuration.defaultParameters()().empty());
}

TEST(TallyConfigurationTests, PreviewModeFollowsTheEnvironmentUntilSet) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true}, {"0", false}, {"true", false}, {nullptr, false}};
    for (const auto& [value, expected] : cases) {
        if (value != nullptr) {
            ::setenv("XCODE_RUNNING_FOR_PREVIEWS", value, 1);
        } else {
            ::unsetenv("XCODE_RUNNING_FOR_PREVIEWS");
        }
        TallyConfiguration configuration("APP");
        EXPECT_EQ(configuration.previewMode(), expected) << (value ? value : "unset");
    }
    ::setenv("XCODE_RUNNING_FOR_PREVIEWS", "1", 1);
    TallyConfiguration configuration("APP");
    configuration.setPreviewMode(false);
    EXPECT_FALSE(configuration.previewMode());
    ::unsetenv("XCODE_RUNNING_FOR_PREVIEWS");
    configuration.setPreviewMode(true);
    EXPECT_TRUE(configuration.previewMode());
}

TEST(TallyConfigurationTests, OutOfRangeLimitsAndIntervalsAreClamped) {
    test::CapturingLogHandler log;
    TallyConfiguration configuration("APP");
    configuration.setLogHandler(log.handler());
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> intervals[] = {
        {0.0, 1.0},       {-5.0, 1.0},          {-inf, 1.0}, {inf, 86400.0},
        {1e300, 86400.0}, {std::nan(""), 10.0}, {2.5, 2.5}};
    for (const auto& [given, kept] : intervals) {
        configuration.setTransmitInterval(given);
        EXPECT_EQ(configuration.transmitInterval(), kept) << given;
        configuration.setMaxBackoffInterval(given);
        EXPECT_EQ(configuration.maxBackoffInterval(), std::isnan(given) ? 300.0 : kept) << given;
    }
    EXPECT_EQ(log.count("Interval out of range transmitInterval="), 6u);
    configuration.setCacheLimit(-1);
    EXPECT_EQ(configuration.cacheLimit(), 0);
    configuration.setCacheLimit(0);
    EXPECT_EQ(configuration.cacheLimit(), 0);
    EXPECT_EQ(log.count("Negative cacheLimit taken as 0 value=-1"), 1u);
}

TEST(TallyConfigurationTests, ReadsAndWritesFromManyThreadsAreSafe) {
    TallyConfiguration configuration("APP");
    configuration.setLogHandler(std::nullopt);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2 == 0) {
                    configuration.setDefaultUser("user-" + std::to_string(i));
                    configuration.setDefaultParameterPrefix("p" + std::to_string(i));
                    configuration.setTransmitInterval(1.0 + i);
                } else {
                    (void)configuration.defaultUser();
                    (void)configuration.defaultParameterPrefix();
                    (void)configuration.transmitInterval();
                    (void)configuration.logHandler();
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(configuration.defaultUser()->starts_with("user-"));
}

class SessionIdentifierTests : public test::TallyTest {};

TEST_F(SessionIdentifierTests, ANewIdentifierStartsASessionAndAnnouncesIt) {
    auto statistics = std::make_shared<CountingStatistics>();
    setSessionStatistics(statistics);
    auto configuration = makeConfiguration();
    Tally::initialize(configuration);
    const auto manager = installedManager();

    const Uuid chosen = Uuid::random();
    configuration->setSessionID(chosen);
    EXPECT_EQ(configuration->sessionID(), chosen);
    EXPECT_EQ(statistics->started, 1);
    EXPECT_EQ(manager->names(), std::vector<std::string>{"Tally.Session.started"});

    // The same identifier again is still a new session.
    configuration->setSessionID(chosen);
    EXPECT_EQ(statistics->started, 2);
    EXPECT_EQ(manager->names().size(), 2u);

    configuration->setSessionStatsEnabled(false);
    configuration->setSendNewSessionBeganSignal(false);
    configuration->setSessionID(Uuid::random());
    EXPECT_EQ(statistics->started, 2);
    EXPECT_EQ(manager->names().size(), 2u);
}

TEST_F(SessionIdentifierTests, AnnouncedSessionsCarryNoPrefix) {
    auto configuration = makeConfiguration();
    configuration->setDefaultSignalPrefix("App.");
    configuration->setDefaultParameterPrefix("p.");
    Tally::initialize(configuration);
    configuration->setSessionID(Uuid::random());
    const auto processed = installedManager()->processed();
    // The first session of a new installation announces the installation first.
    ASSERT_EQ(processed.size(), 2u);
    EXPECT_EQ(processed[0].name, "Tally.Acquisition.newInstallDetected");
    ASSERT_EQ(processed[0].parameters.size(), 1u);
    EXPECT_TRUE(processed[0].parameters.contains("Tally.Acquisition.firstSessionDate"));
    EXPECT_EQ(processed[1].name, "Tally.Session.started");
    EXPECT_TRUE(processed[1].parameters.empty());
    EXPECT_FALSE(processed[1].floatValue);
    EXPECT_FALSE(processed[1].customUserID);
}

}  // namespace
}  // namespace vorn::tally
