#pragma once

#include "Telemetry.h"

namespace vorn {

// Hands every usage event to the analytics client, which builds and sends it on its own
// queues.
class TallySink final : public TelemetrySink {
public:
    void send(const TelemetryEvent& event) override;
};

}  // namespace vorn
