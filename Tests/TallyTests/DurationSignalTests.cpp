#include <sstream>

#include <gtest/gtest.h>

#include "Helpers/DurationSignalTracker.h"
#include "System/NotificationCenter.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

using system::Notification;

constexpr const char* durationKey = "Tally.Signal.durationInSeconds";

class DurationSignalTests : public test::TallyTest {
protected:
    void SetUp() override {
        TallyTest::SetUp();
        auto configuration = makeConfiguration();
        configuration->setSendNewSessionBeganSignal(false);
        configuration->setSessionStatsEnabled(false);
        Tally::initialize(configuration);
        // The tracker follows the application from its creation on.
        (void)DurationSignalTracker::shared();
    }

    void TearDown() override {
        DurationSignalTracker::resetShared();
        TallyTest::TearDown();
    }

    static void post(Notification notification) {
        system::NotificationCenter::defaultCenter().post(notification);
    }

    std::vector<test::RecordingSignalManager::Processed> sent() const {
        return installedManager()->processed();
    }

    std::string measure(double seconds) {
        Tally::startDurationSignal("Measured");
        time->advance(seconds);
        Tally::stopAndSendDurationSignal("Measured");
        return sent().back().parameters.at(durationKey);
    }
};

TEST_F(DurationSignalTests, DurationsAreRoundedDownToMillisecondsAndKeepAFraction) {
    const std::pair<double, const char*> cases[] = {
        {3.0, "3.0"},    {2.5, "2.5"},         {1.2345, "1.234"}, {2.9999, "2.999"},
        {0.0004, "0.0"}, {3600.25, "3600.25"}, {0.001, "0.001"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(measure(seconds), text) << seconds;
    }
    // Text that a plain decimal would make unwieldy still reads back and has a fraction.
    EXPECT_EQ(DurationSignalTracker::durationText(1e22), "1.0e+22");
    EXPECT_EQ(DurationSignalTracker::durationText(-5), "0.0");
}

TEST_F(DurationSignalTests, ParametersLayerDurationUnderStartUnderStop) {
    Tally::startDurationSignal("Export", {{"format", "png"}, {"size", "small"}});
    time->advance(2);
    Tally::stopAndSendDurationSignal("Export", {{"size", "large"}}, 7.0, "user-1");
    Tally::startDurationSignal("Import", {{durationKey, "from start"}});
    Tally::stopAndSendDurationSignal("Import");
    Tally::startDurationSignal("Sync");
    Tally::stopAndSendDurationSignal("Sync", {{durationKey, "mine"}});

    const auto signals = sent();
    ASSERT_EQ(signals.size(), 3u);
    EXPECT_EQ(signals[0].name, "Export");
    EXPECT_EQ(signals[0].parameters,
              (Parameters{{durationKey, "2.0"}, {"format", "png"}, {"size", "large"}}));
    EXPECT_EQ(signals[0].floatValue, 7.0);
    EXPECT_EQ(signals[0].customUserID, "user-1");
    EXPECT_EQ(signals[1].parameters.at(durationKey), "from start");
    EXPECT_EQ(signals[2].parameters.at(durationKey), "mine");
}

TEST_F(DurationSignalTests, OnlyARunningMeasurementSendsAndOnlyOnce) {
    auto configuration = TallyManager::shared()->configuration();
    configuration->setDefaultSignalPrefix("App.");
    Tally::stopAndSendDurationSignal("Never");

    Tally::startDurationSignal("Twice", {{"run", "first"}});
    time->advance(5);
    Tally::startDurationSignal("Twice", {{"run", "second"}});
    time->advance(1);
    Tally::stopAndSendDurationSignal("Twice");
    Tally::stopAndSendDurationSignal("Twice");

    Tally::startDurationSignal("Cancelled");
    Tally::cancelDurationSignal("Cancelled");
    Tally::stopAndSendDurationSignal("Cancelled");

    const auto signals = sent();
    ASSERT_EQ(signals.size(), 1u);
    // Sent as named: the signal prefix belongs to the public entry only.
    EXPECT_EQ(signals[0].name, "Twice");
    EXPECT_EQ(signals[0].parameters, (Parameters{{durationKey, "1.0"}, {"run", "second"}}));
    EXPECT_TRUE(log.messages().empty());
}

TEST_F(DurationSignalTests, InactiveTimeCountsOnlyWhereItOverlapsAndWasNotAskedFor) {
    // Steps: "start", "start+bg" (background time included), "resign", "activate", "stop",
    // or a number of seconds to wait.
    const std::pair<const char*, const char*> cases[] = {
        {"start 2 resign 60 activate 3 stop", "5.0"},
        {"start+bg 2 resign 60 activate 3 stop", "65.0"},
        // Inactive time before the start is not the measurement's.
        {"resign 40 start 20 activate 5 stop", "5.0"},
        {"resign 40 activate start 5 stop", "5.0"},
        {"start resign 10 resign 20 activate 4 stop", "14.0"},
        {"start 3 resign 50 stop", "53.0"},
        {"start 1 resign 9 activate 1 resign 9 activate 1 stop", "3.0"},
    };
    for (const auto& [script, duration] : cases) {
        DurationSignalTracker::resetShared();
        (void)DurationSignalTracker::shared();
        std::istringstream steps(script);
        for (std::string step; steps >> step;) {
            if (step == "start" || step == "start+bg") {
                Tally::startDurationSignal("Task", {}, step == "start+bg");
            } else if (step == "resign") {
                post(Notification::willResignActive);
            } else if (step == "activate") {
                post(Notification::didBecomeActive);
            } else if (step == "stop") {
                Tally::stopAndSendDurationSignal("Task");
            } else {
                time->advance(std::stod(step));
            }
        }
        EXPECT_EQ(sent().back().parameters.at(durationKey), duration) << script;
    }
}

TEST_F(DurationSignalTests, AClockSetBackNeverGivesANegativeDuration) {
    Tally::startDurationSignal("Task");
    time->advance(-30);
    Tally::stopAndSendDurationSignal("Task");
    EXPECT_EQ(sent().back().parameters.at(durationKey), "0.0");
}

}  // namespace
}  // namespace vorn::tally
