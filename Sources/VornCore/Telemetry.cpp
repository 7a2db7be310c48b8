#include "Telemetry.h"

namespace vorn {

CountBucket countBucket(long long count) {
    if (count < 2) {
        return CountBucket::one;
    }
    if (count < 4) {
        return CountBucket::few;
    }
    return CountBucket::many;
}

std::string_view rawValue(CountBucket bucket) {
    switch (bucket) {
        case CountBucket::one:
            return "1";
        case CountBucket::few:
            return "2-3";
        case CountBucket::many:
            return "4+";
    }
    return "1";
}

std::optional<CountBucket> countBucketFromRaw(std::string_view raw) {
    for (const auto bucket : {CountBucket::one, CountBucket::few, CountBucket::many}) {
        if (rawValue(bucket) == raw) {
            return bucket;
        }
    }
    return std::nullopt;
}

TelemetryEvent TelemetryEvent::placementApplied(PlacementMode mode) {
    TelemetryEvent event(Kind::placementApplied);
    event.m_mode = mode;
    return event;
}

TelemetryEvent TelemetryEvent::displayConfig(CountBucket displays, CountBucket spaces) {
    TelemetryEvent event(Kind::displayConfig);
    event.m_displays = displays;
    event.m_spaces = spaces;
    return event;
}

std::string_view TelemetryEvent::signalName() const {
    switch (m_kind) {
        case Kind::placementApplied:
            return "Placement.applied";
        case Kind::displayConfig:
            return "Display.config";
        case Kind::appLaunched:
            return "App.launched";
        case Kind::axPromptShown:
            return "Accessibility.promptShown";
        case Kind::axGranted:
            return "Accessibility.granted";
        case Kind::axRevoked:
            return "Accessibility.revoked";
        case Kind::feedbackSent:
            return "Feedback.sent";
        case Kind::updateCheckRequested:
            return "Update.checkRequested";
    }
    return "";
}

std::map<std::string, std::string> TelemetryEvent::parameters() const {
    switch (m_kind) {
        case Kind::placementApplied:
            return {{"mode", std::string(rawValue(m_mode))}};
        case Kind::displayConfig:
            return {{"displays", std::string(rawValue(m_displays))},
                    {"spaces", std::string(rawValue(m_spaces))}};
        default:
            return {};
    }
}

}  // namespace vorn
