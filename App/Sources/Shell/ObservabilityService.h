#pragma once

#include <memory>

#include "Telemetry.h"

namespace vorn::app {

// Crash reporting and usage analytics, decided once per run by the user's consent: without it
// nothing starts and the sink drops every event.
class ObservabilityService {
public:
    virtual ~ObservabilityService() = default;

    // Starts what consent allows; called once, right after creation.
    virtual void start() = 0;
    // Where the application and the sidebar model send usage events; never null.
    virtual std::shared_ptr<TelemetrySink> sink() const = 0;
};

}  // namespace vorn::app
