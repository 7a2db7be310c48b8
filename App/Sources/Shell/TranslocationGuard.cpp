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
    AlertSpec spec;
    spec.message = QStringLiteral("Move Vorn to Applications");
    spec.informativeText = QStringLiteral(
        "Vorn is running from a temporary, read-only location, so it can't keep its "
        "Accessibility permission or install updates. Quit Vorn, drag it into your Applications "
        "folder, then open it again.");
    spec.icon = QMessageBox::Warning;
    spec.buttons = {QStringLiteral("OK")};
    spec.identifier = QStringLiteral("vorn.integrity.translocation");
    ModalAlert::run(spec);
    return true;
}

}  // namespace vorn::app
