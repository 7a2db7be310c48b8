#include "StandInServices.h"

#include "BundleInfo.h"
#include "Log.h"
#include "ModalAlert.h"

namespace vorn::app {

LoggingObservability::LoggingObservability(bool consented)
    : m_consented(consented) {
    if (consented) {
        m_sink = std::make_shared<LoggingTelemetrySink>();
    } else {
        m_sink = std::make_shared<NoopTelemetrySink>();
    }
}

void LoggingObservability::start() {
    if (!m_consented) {
        vornObservabilityLog().notice("observability disabled: no telemetry consent");
        return;
    }
    vornObservabilityLog().notice(
        "crash reporting and analytics are not part of this build; usage events are logged");
}

void LoggingTelemetrySink::send(const TelemetryEvent& event) {
    std::string line = "event ";
    line += event.signalName();
    for (const auto& [key, value] : event.parameters()) {
        line += ' ';
        line += key;
        line += '=';
        line += value;
    }
    vornObservabilityLog().notice(line);
}

void StandInFeedback::show() {
    if (bundle::feedbackURL[0] == '\0') {
        vornFeedbackLog().error("no VornFeedbackURL configured");
    } else {
        vornFeedbackLog().error("feedback sending is not part of this build");
    }
    AlertSpec spec;
    spec.message = QStringLiteral("Feedback");
    spec.informativeText = QStringLiteral("Feedback isn't available in this build.");
    spec.icon = QMessageBox::Warning;
    spec.buttons = {QStringLiteral("OK")};
    spec.identifier = QStringLiteral("vorn.feedback.result");
    ModalAlert::run(spec);
}

StandInUpdater::StandInUpdater() {
    vornUpdaterLog().notice("updater started without an update framework: updates are off");
}

void StandInUpdater::setAutomaticallyChecksForUpdates(bool value) {
    vornUpdaterLog().notice("auto update checks -> ", boolText(value));
}

void StandInUpdater::setAutomaticallyDownloadsUpdates(bool value) {
    vornUpdaterLog().notice("auto update downloads -> ", boolText(value));
}

void StandInUpdater::checkForUpdates() {
    vornUpdaterLog().notice("user check for updates");
    vornUpdaterLog().notice("update not found: this build has no update framework");
}

void StandInSettingsWindow::show() {
    vornSettingsLog().notice(m_shown ? "settings window refocused" : "settings window shown");
    m_shown = true;
}

void StandInSettingsWindow::close() {
    m_shown = false;
    vornSettingsLog().debug("settings window disposed");
}

}  // namespace vorn::app
