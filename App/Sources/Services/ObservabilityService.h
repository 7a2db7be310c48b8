#pragma once

#include <memory>

#include "Telemetry.h"

namespace vorn::app {

// Crash reporting and usage analytics, as the user's consent allows: without it nothing starts
// and the sink drops every event.
class ObservabilityService {
public:
    virtual ~ObservabilityService() = default;

    // Starts what consent allows; called once, right after creation.
    virtual void start() = 0;
    // Where the application and the sidebar model send usage events; never null, the same
    // for the whole run.
    virtual std::shared_ptr<TelemetrySink> sink() const = 0;
    // The user changed the answer in the settings: withdrawn, everything stops and what the
    // services kept is deleted; given, they start at once.
    virtual void setConsented(bool consented) = 0;
};

}  // namespace vorn::app
