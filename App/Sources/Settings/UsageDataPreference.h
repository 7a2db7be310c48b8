#pragma once

#include <memory>
#include <string>

#include "ConsentStore.h"
#include "Date.h"
#include "ObservabilityService.h"

namespace vorn::app {

// The user's answer to "Share anonymous usage data and crash reports" after the first run: the
// recorded answer and, when changed, written through the consent store and applied to the
// services at once. Main thread only.
class UsageDataPreference {
public:
    // enabled: the answer the services were started with (the recorded one, or the first-run
    // answer when it could not be recorded). The services must outlive the preference.
    UsageDataPreference(std::shared_ptr<ConsentStore> store,
                        ObservabilityService& services,
                        bool enabled,
                        std::string appVersion,
                        Clock clock = systemClock());

    // The answer in effect: the recorded one, or one given since that could not be saved.
    bool isEnabled() const { return m_enabled; }
    // Records the answer with the time (and this version when the record had none), then
    // starts or stops the services and logs the change. An answer that cannot be saved still
    // holds for this run. The same answer again changes nothing.
    void setEnabled(bool enabled);

private:
    std::shared_ptr<ConsentStore> m_store;
    ObservabilityService& m_services;
    std::string m_appVersion;
    Clock m_clock;
    bool m_enabled;
};

}  // namespace vorn::app
