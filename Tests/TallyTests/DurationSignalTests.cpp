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
    struct Step {
        enum Kind {
            start,
            startWithBackground,
            resign,
            activate,
            wait,
            stop
        } kind;
        double seconds = 0;
    };
    using S = Step;
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const char* duration;
    };
    const Case cases[] = {
        {"inactive during the measurement is left out",
         {{S::start},
          {S::wait, 2},
          {S::resign},
          {S::wait, 60},
          {S::activate},
          {S::wait, 3},
          {S::stop}},
         "5.0"},
        {"unless background time was asked for",
         {{S::startWithBackground},
          {S::wait, 2},
          {S::resign},
          {S::wait, 60},
          {S::activate},
          {S::wait, 3},
          {S::stop}},
         "65.0"},
        {"inactive before the start is not subtracted",
         {{S::resign},
          {S::wait, 40},
          {S::start},
          {S::wait, 20},
          {S::activate},
          {S::wait, 5},
          {S::stop}},
         "5.0"},
        {"an interval that ended before the start changes nothing",
         {{S::resign}, {S::wait, 40}, {S::activate}, {S::start}, {S::wait, 5}, {S::stop}},
         "5.0"},
        {"two resignations count from the later one",
         {{S::start},
          {S::resign},
          {S::wait, 10},
          {S::resign},
          {S::wait, 20},
          {S::activate},
          {S::wait, 4},
          {S::stop}},
         "14.0"},
        {"stopped while inactive",
         {{S::start}, {S::wait, 3}, {S::resign}, {S::wait, 50}, {S::stop}},
         "53.0"},
        {"two inactive intervals",
         {{S::start},
          {S::wait, 1},
          {S::resign},
          {S::wait, 9},
          {S::activate},
          {S::wait, 1},
          {S::resign},
          {S::wait, 9},
          {S::activate},
          {S::wait, 1},
          {S::stop}},
         "3.0"},
    };
    for (const auto& c : cases) {
        DurationSignalTracker::resetShared();
        (void)DurationSignalTracker::shared();
        for (const auto& step : c.steps) {
            switch (step.kind) {
                case S::start:
                    Tally::startDurationSignal("Task");
                    break;
                case S::startWithBackground:
                    Tally::startDurationSignal("Task", {}, true);
                    break;
                case S::resign:
                    post(Notification::willResignActive);
                    break;
                case S::activate:
                    post(Notification::didBecomeActive);
                    break;
                case S::wait:
                    time->advance(step.seconds);
                    break;
                case S::stop:
                    Tally::stopAndSendDurationSignal("Task");
                    break;
            }
        }
        EXPECT_EQ(sent().back().parameters.at(durationKey), c.duration) << c.name;
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
