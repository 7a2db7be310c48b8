#include "OpenFailureAlert.h"

#include <QFileInfo>

#include "FileURL.h"

namespace vorn::app {

AlertContent openFailureAlert(const OpenFailure& failure) {
    const QString app =
        QString::fromStdString(failure.app.name.empty() ? failure.app.bundleId : failure.app.name);
    AlertContent alert;
    alert.icon = QMessageBox::Warning;
    alert.buttons = {QStringLiteral("OK")};
    alert.identifier = QStringLiteral("openFailure");
    if (!failure.document) {
        alert.message = QStringLiteral("%1 did not open a window.").arg(app);
        alert.informativeText = QStringLiteral("No new window of %1 appeared in time.").arg(app);
        return alert;
    }
    const std::string& document = *failure.document;
    const QString path = QString::fromStdString(
        document.starts_with("file:") ? FileURL::path(document).value_or(document) : document);
    alert.message =
        QStringLiteral("%1 did not show \u201C%2\u201D.").arg(app, QFileInfo(path).fileName());
    alert.informativeText =
        QStringLiteral(
            "The file was handed to %1, but no window of it showed the file in time.\n\n%2")
            .arg(app, path);
    return alert;
}

}  // namespace vorn::app
