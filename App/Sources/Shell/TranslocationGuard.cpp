#include "TranslocationGuard.h"

#include "Log.h"
#include "ModalAlert.h"
#include "SystemIntegrity.h"

namespace vorn::app {

bool TranslocationGuard::checkAndWarn(std::string_view bundlePath) {
    if (!isTranslocated(bundlePath)) {
        return false;
    }
    vornIntegrityLog().error("running translocated from ", bundlePath);
    AlertContent alert;
    alert.message = QStringLiteral("Move Vorn to Applications");
    alert.informativeText = QStringLiteral(
        "Vorn is running from a temporary, read-only location, so it can't keep its "
        "Accessibility permission or install updates. Quit Vorn, drag it into your Applications "
        "folder, then open it again.");
    alert.icon = QMessageBox::Warning;
    alert.buttons = {QStringLiteral("OK")};
    alert.identifier = QStringLiteral("vorn.integrity.translocation");
    ModalAlert::run(alert);
    return true;
}

}  // namespace vorn::app
