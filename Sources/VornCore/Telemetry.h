#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "PlacementEngine.h"

namespace vorn {

// A count coarsened for usage events: "1" (below 2), "2-3" or "4+".
enum class CountBucket {
    one,
    few,
    many
};

CountBucket countBucket(long long count);
std::optional<CountBucket> countBucketFromRaw(std::string_view raw);
std::string_view rawValue(CountBucket bucket);

// One usage event: a fixed signal name and string parameters.
class TelemetryEvent {
public:
    enum class Kind {
        placementApplied,
        displayConfig,
        appLaunched,
        axPromptShown,
        axGranted,
        axRevoked,
        feedbackSent,
        updateCheckRequested,
    };

    static TelemetryEvent placementApplied(PlacementMode mode);
    static TelemetryEvent displayConfig(CountBucket displays, CountBucket spaces);
    static TelemetryEvent appLaunched() { return TelemetryEvent(Kind::appLaunched); }
    static TelemetryEvent axPromptShown() { return TelemetryEvent(Kind::axPromptShown); }
    static TelemetryEvent axGranted() { return TelemetryEvent(Kind::axGranted); }
    static TelemetryEvent axRevoked() { return TelemetryEvent(Kind::axRevoked); }
    static TelemetryEvent feedbackSent() { return TelemetryEvent(Kind::feedbackSent); }
    static TelemetryEvent updateCheckRequested() {
        return TelemetryEvent(Kind::updateCheckRequested);
    }

    Kind kind() const { return m_kind; }
    std::string_view signalName() const;
    // Built anew on each call; empty for events without a payload.
    std::map<std::string, std::string> parameters() const;

    friend bool operator==(const TelemetryEvent&, const TelemetryEvent&) = default;

private:
    explicit TelemetryEvent(Kind kind)
        : m_kind(kind) {}

    Kind m_kind;
    PlacementMode m_mode = PlacementMode::fill;
    CountBucket m_displays = CountBucket::one;
    CountBucket m_spaces = CountBucket::one;
};

// Receives usage events. Synchronous; cannot fail.
class TelemetrySink {
public:
    virtual ~TelemetrySink() = default;
    virtual void send(const TelemetryEvent& event) = 0;
};

// Drops every event: the sink without the user's consent.
class NoopTelemetrySink final : public TelemetrySink {
public:
    void send(const TelemetryEvent& /*event*/) override {}
};

}  // namespace vorn
