#include <gtest/gtest.h>

#include "AXPermissionFunnel.h"

namespace vorn {
namespace {

TEST(AXPermissionFunnelTests, OneEventPerRealChange) {
    using Event = std::optional<TelemetryEvent>;
    const Event none;
    const Event granted = TelemetryEvent::axGranted();
    const Event revoked = TelemetryEvent::axRevoked();
    AXPermissionFunnel funnel;
    EXPECT_EQ(funnel.promptShownEvent(), TelemetryEvent::axPromptShown());
    std::vector<Event> events;
    for (const bool trusted : {true, false, false, true, true}) {  // the first is no change
        events.push_back(funnel.update(trusted));
    }
    EXPECT_EQ(events, (std::vector{none, revoked, none, granted, none}));
}

}  // namespace
}  // namespace vorn
