#include <limits>

#include <gtest/gtest.h>

#include "Telemetry.h"

namespace vorn {
namespace {

TEST(CountBucketTests, BucketsAndRawValues) {
    EXPECT_EQ(countBucket(-3), CountBucket::one);
    EXPECT_EQ(countBucket(0), CountBucket::one);
    EXPECT_EQ(countBucket(1), CountBucket::one);
    EXPECT_EQ(countBucket(2), CountBucket::few);
    EXPECT_EQ(countBucket(3), CountBucket::few);
    EXPECT_EQ(countBucket(4), CountBucket::many);
    EXPECT_EQ(countBucket(std::numeric_limits<long long>::max()), CountBucket::many);
    EXPECT_EQ(countBucketFromRaw("2-3"), CountBucket::few);
    for (const char* bad : {" 2-3", "one", "", "4 +"}) {
        EXPECT_FALSE(countBucketFromRaw(bad)) << bad;
    }
}

TEST(TelemetryEventTests, SignalNamesAndParameters) {
    using Params = std::map<std::string, std::string>;
    const auto config = TelemetryEvent::displayConfig(CountBucket::one, CountBucket::many);
    EXPECT_EQ(config.signalName(), "Display.config");
    EXPECT_EQ(config.parameters(), (Params{{"displays", "1"}, {"spaces", "4+"}}));
    EXPECT_EQ(TelemetryEvent::displayConfig(CountBucket::many, CountBucket::one).parameters(),
              (Params{{"displays", "4+"}, {"spaces", "1"}}));
    EXPECT_NE(TelemetryEvent::displayConfig(CountBucket::one, CountBucket::few),
              TelemetryEvent::displayConfig(CountBucket::few, CountBucket::one));

    const auto placed = TelemetryEvent::placementApplied(PlacementMode::center);
    EXPECT_EQ(placed.signalName(), "Placement.applied");
    EXPECT_EQ(placed.parameters(), (Params{{"mode", "center"}}));
    EXPECT_EQ(TelemetryEvent::placementApplied(PlacementMode::fill),
              TelemetryEvent::placementApplied(PlacementMode::fill));

    const std::pair<TelemetryEvent, const char*> bare[] = {
        {TelemetryEvent::appLaunched(), "App.launched"},
        {TelemetryEvent::axPromptShown(), "Accessibility.promptShown"},
        {TelemetryEvent::axGranted(), "Accessibility.granted"},
        {TelemetryEvent::axRevoked(), "Accessibility.revoked"},
        {TelemetryEvent::feedbackSent(), "Feedback.sent"},
        {TelemetryEvent::updateCheckRequested(), "Update.checkRequested"},
    };
    for (const auto& [event, signal] : bare) {
        EXPECT_EQ(event.signalName(), signal);
        EXPECT_TRUE(event.parameters().empty());
    }
}

TEST(PlacementModeTests, RawValuesAreExact) {
    EXPECT_EQ(placementModeFromRaw("center"), PlacementMode::center);
    EXPECT_FALSE(placementModeFromRaw("Fill"));
    EXPECT_FALSE(placementModeFromRaw(""));
    EXPECT_EQ(allPlacementModes[0], PlacementMode::normal);
    EXPECT_EQ(allPlacementModes[2], PlacementMode::fill);
    EXPECT_EQ(name(PlacementKind::recent), "recent");
}

}  // namespace
}  // namespace vorn
