#pragma once

#include <optional>

#include "Telemetry.h"

namespace vorn {

// Turns successive observations of the Accessibility trust flag into usage events: one per real
// change, none for the first observation or a repeated value.
struct AXPermissionFunnel {
    std::optional<bool> lastTrusted;  // absent until the first observation

    // Records the flag; axGranted or axRevoked when it changed from a previous observation.
    std::optional<TelemetryEvent> update(bool trusted);
    // The event for showing the system's permission prompt; changes nothing.
    TelemetryEvent promptShownEvent() const { return TelemetryEvent::axPromptShown(); }

    friend bool operator==(const AXPermissionFunnel&, const AXPermissionFunnel&) = default;
};

}  // namespace vorn
