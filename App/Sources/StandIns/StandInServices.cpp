#include "StandInServices.h"

#include "BundleInfo.h"
#include "Log.h"
#include "ModalAlert.h"

namespace vorn::app {

void StandInFeedback::show() {
    if (bundle::feedbackURL[0] == '\0') {
        vornFeedbackLog().error("no VornFeedbackURL configured");
    } else {
        vornFeedbackLog().error("feedback sending is not part of this build");
    }
    AlertContent alert;
    alert.message = QStringLiteral("Feedback");
    alert.informativeText = QStringLiteral("Feedback isn't available in this build.");
    alert.icon = QMessageBox::Warning;
    alert.buttons = {QStringLiteral("OK")};
    alert.identifier = QStringLiteral("vorn.feedback.result");
    ModalAlert::run(alert);
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

}  // namespace vorn::app
