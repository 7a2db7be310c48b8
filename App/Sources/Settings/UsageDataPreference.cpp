#include "UsageDataPreference.h"

#include "Log.h"

namespace vorn::app {

UsageDataPreference::UsageDataPreference(std::shared_ptr<ConsentStore> store,
                                         ObservabilityService& services,
                                         bool enabled,
                                         std::string appVersion,
                                         Clock clock)
    : m_store(std::move(store))
    , m_services(services)
    , m_appVersion(std::move(appVersion))
    , m_clock(std::move(clock))
    , m_enabled(enabled) {}

void UsageDataPreference::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    ConsentState state = m_store->load();
    state.telemetryEnabled = enabled;
    // An answer given here is an answer: the first-run question is not asked again.
    if (!state.disclosureShownVersion) {
        state.disclosureShownVersion = m_appVersion;
    }
    state.decidedAt = m_clock();
    if (!m_store->save(state)) {
        vornConsentLog().error("usage data answer not saved; it holds for this run");
    }
    m_services.setConsented(enabled);
    vornConsentLog().notice("usage data changed in settings: telemetryEnabled=", boolText(enabled));
}

}  // namespace vorn::app
