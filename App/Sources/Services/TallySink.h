#pragma once

#include <atomic>

#include "Telemetry.h"

namespace vorn {

// Hands every usage event to the analytics client, which builds and sends it on its own
// queues, while the user allows it; otherwise drops it. Safe to use from any thread.
class TallySink final : public TelemetrySink {
public:
    explicit TallySink(bool enabled = true)
        : m_enabled(enabled) {}

    void send(const TelemetryEvent& event) override;
    // Events sent from now on are handed on, or dropped.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled.load(); }

private:
    std::atomic<bool> m_enabled;
};

}  // namespace vorn
