#include "ConsentController.h"

#include "ApplicationQuit.h"
#include "Log.h"
#include "ModalAlert.h"

namespace vorn::app {

ConsentController::ConsentController(std::shared_ptr<ConsentStore> store,
                                     std::string appVersion,
                                     Clock clock)
    : m_store(std::move(store))
    , m_appVersion(std::move(appVersion))
    , m_clock(std::move(clock))
    , m_state(m_store->load()) {}

ConsentState ConsentController::resolveFirstRunDisclosure() {
    if (!m_state.needsDisclosure(m_appVersion)) {
        return m_state;
    }
    const bool enabled = showDisclosureAlert();
    if (quitWasRequested()) {
        // Ended by a quit, not answered: nothing is sent this run, and the question comes again.
        vornConsentLog().notice("first-run disclosure not answered: quitting");
        m_state.telemetryEnabled = false;
        return m_state;
    }
    persist(enabled);
    vornConsentLog().notice("first-run disclosure resolved: telemetryEnabled=", boolText(enabled));
    return m_state;
}

void ConsentController::persist(bool enabled) {
    m_state.telemetryEnabled = enabled;
    m_state.disclosureShownVersion = m_appVersion;
    m_state.decidedAt = m_clock();
    // The store logs a failed save; the answer still holds for this run.
    (void)m_store->save(m_state);
}

bool ConsentController::showDisclosureAlert() {
    AlertContent alert;
    alert.message = QStringLiteral("Help improve Vorn");
    alert.informativeText = QStringLiteral(
        "Vorn sends anonymous usage statistics and crash reports to help fix bugs and guide "
        "development. It never collects window titles, other app names, or window contents. You "
        "can turn this off any time in Settings.");
    alert.icon = QMessageBox::Information;
    alert.buttons = {QStringLiteral("OK"), QStringLiteral("Turn Off")};
    alert.identifier = QString::fromLatin1(disclosureIdentifier);
    return ModalAlert::run(alert) == 0;
}

}  // namespace vorn::app
