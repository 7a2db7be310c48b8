#include "StandardUserDriver.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>

#include "ActivationPolicy.h"
#include "ApplicationQuit.h"
#include "Log.h"
#include "WindowHints.h"

namespace vorn::updates {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// The error and, below it, the first cause, which usually says what went wrong.
QString describe(const UpdateError& error) {
    QString description = text(error.description);
    if (error.underlying && !error.underlying->description.empty()) {
        description += QStringLiteral("\n\n") + text(error.underlying->description);
    }
    return description;
}

}  // namespace

StandardUserDriver::StandardUserDriver(UserDriverDelegate& delegate,
                                       std::string currentVersion,
                                       FileAction relaunch,
                                       FileAction showFile)
    : m_delegate(delegate)
    , m_currentVersion(std::move(currentVersion))
    , m_relaunch(std::move(relaunch))
    , m_showFile(std::move(showFile)) {}

StandardUserDriver::~StandardUserDriver() {
    closeProgress();
    closeAlert();
}

void StandardUserDriver::present(QWidget& window, bool activate) {
    window.setWindowTitle(QStringLiteral("Vorn"));
    window.setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    if (activationPolicy() == ActivationPolicy::accessory) {
        window.winId();
        app::markSkipTaskbarAndPager(window);
    }
    window.show();
    if (activate) {
        window.raise();
        window.activateWindow();
    }
}

void StandardUserDriver::showAlert(const char* identifier,
                                   int icon,
                                   const QString& message,
                                   const QString& informative,
                                   const QStringList& buttons,
                                   bool activate,
                                   std::function<void(int)> answer) {
    closeAlert();
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setObjectName(QString::fromLatin1(identifier));
    box->setIcon(static_cast<QMessageBox::Icon>(icon));
    box->setTextFormat(Qt::PlainText);
    box->setText(message);
    box->setInformativeText(informative);
    QList<QPushButton*> added;
    for (const QString& title : buttons) {
        added.push_back(box->addButton(
            title, added.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    }
    if (!added.empty()) {
        box->setDefaultButton(added.front());
        box->setEscapeButton(added.back());
    }
    QObject::connect(box, &QDialog::finished, box, [box, added, answer = std::move(answer)] {
        const int index = static_cast<int>(added.indexOf(box->clickedButton()));
        if (answer) {
            answer(index);
        }
    });
    m_alert = box;
    present(*box, activate);
}

void StandardUserDriver::announce(const AppcastItem& item, const UserUpdateState& state) {
    if (!m_announced) {
        m_announced = true;
        m_delegate.willHandleShowingUpdate(true, item, state);
    }
}

void StandardUserDriver::showUpdateFound(const AppcastItem& item,
                                         const UserUpdateState& state,
                                         std::function<void(UpdateChoice)> reply) {
    announce(item, state);
    const bool activate =
        state.userInitiated || !m_delegate.supportsGentleScheduledUpdateReminders();
    showAlert(offerIdentifier, QMessageBox::Information,
              QStringLiteral("A new version of Vorn is available!"),
              QStringLiteral("Vorn %1 is now available (you have %2). Would you like to install "
                             "it now?")
                  .arg(text(item.displayVersion), text(m_currentVersion)),
              {QStringLiteral("Install Update"), QStringLiteral("Later")}, activate,
              [reply = std::move(reply)](int index) {
                  reply(index == 0 ? UpdateChoice::install : UpdateChoice::later);
              });
}

void StandardUserDriver::showUpdateNotFound(const UpdateError& error,
                                            std::function<void()> acknowledged) {
    showAlert(noUpdateIdentifier, QMessageBox::Information, QStringLiteral("You're up to date!"),
              text(error.description), {QStringLiteral("OK")}, true,
              [acknowledged = std::move(acknowledged)](int) { acknowledged(); });
}

void StandardUserDriver::showUpdaterError(const UpdateError& error,
                                          std::function<void()> acknowledged) {
    closeProgress();
    showAlert(errorIdentifier, QMessageBox::Warning, QStringLiteral("Update Error!"),
              describe(error), {QStringLiteral("OK")}, true,
              [acknowledged = std::move(acknowledged)](int) { acknowledged(); });
}

void StandardUserDriver::showDownloadInitiated(std::function<void()> cancel) {
    closeAlert();
    closeProgress();
    auto* dialog = new QProgressDialog(QStringLiteral("Downloading update…"),
                                       QStringLiteral("Cancel"), 0, 1000);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setObjectName(QString::fromLatin1(progressIdentifier));
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setValue(0);
    QObject::connect(dialog, &QProgressDialog::canceled, dialog,
                     [cancel = std::move(cancel)] { cancel(); });
    m_progress = dialog;
    present(*dialog, true);
}

void StandardUserDriver::showDownloadProgress(std::uint64_t received, std::uint64_t expected) {
    if (m_progress && expected > 0) {
        const auto permille = std::min<std::uint64_t>(1000, received * 1000 / expected);
        m_progress->setValue(static_cast<int>(permille));
    }
}

void StandardUserDriver::showInstalled(const AppcastItem& item,
                                       const Installation& installation,
                                       const UserUpdateState& state,
                                       std::function<void()> acknowledged) {
    closeProgress();
    announce(item, state);
    const bool activate =
        state.userInitiated || !m_delegate.supportsGentleScheduledUpdateReminders();
    const std::filesystem::path path = installation.path;
    if (installation.kind == Installation::Kind::replacedAppImage) {
        showAlert(installedIdentifier, QMessageBox::Information,
                  QStringLiteral("Vorn %1 is installed.").arg(text(item.displayVersion)),
                  QStringLiteral("It starts the next time you open Vorn. Restart Vorn now?"),
                  {QStringLiteral("Restart Now"), QStringLiteral("Later")}, activate,
                  [this, path, acknowledged = std::move(acknowledged)](int index) {
                      acknowledged();
                      if (index == 0) {
                          m_relaunch(path);
                      }
                  });
        return;
    }
    showAlert(installedIdentifier, QMessageBox::Information,
              QStringLiteral("Vorn %1 has been downloaded.").arg(text(item.displayVersion)),
              QStringLiteral("Its signature was verified. Install it with your system's package "
                             "tools; the package is %1")
                  .arg(QString::fromStdString(path.string())),
              {QStringLiteral("Show in Folder"), QStringLiteral("Close")}, activate,
              [this, path, acknowledged = std::move(acknowledged)](int index) {
                  acknowledged();
                  if (index == 0) {
                      m_showFile(path);
                  }
              });
}

void StandardUserDriver::showUpdatesUnavailable() {
    showAlert(unavailableIdentifier, QMessageBox::Information,
              QStringLiteral("Updates aren't available"),
              QStringLiteral("This build of Vorn does not check for updates."),
              {QStringLiteral("OK")}, true, {});
}

void StandardUserDriver::showUpdateInFocus() {
    QWidget* window = m_progress ? static_cast<QWidget*>(m_progress.data())
                                 : static_cast<QWidget*>(m_alert.data());
    if (window != nullptr) {
        window->raise();
        window->activateWindow();
    }
}

void StandardUserDriver::dismissUpdateInstallation() {
    m_delegate.willFinishUpdateSession();
    m_announced = false;
    closeProgress();
    closeAlert();
}

void StandardUserDriver::closeProgress() {
    if (QProgressDialog* dialog = m_progress.data()) {
        m_progress.clear();
        // Closing a progress dialog reports a cancel; this one is closed by the engine.
        QObject::disconnect(dialog, nullptr, nullptr, nullptr);
        dialog->hide();
        dialog->deleteLater();
    }
}

void StandardUserDriver::closeAlert() {
    if (QMessageBox* box = m_alert.data()) {
        m_alert.clear();
        QObject::disconnect(box, nullptr, nullptr, nullptr);
        box->hide();
        box->deleteLater();
    }
}

void StandardUserDriver::restartInto(const std::filesystem::path& image) {
    vornUpdaterLog().notice("restarting into the new version path=", image.string());
    if (QProcess::startDetached(QString::fromStdString(image.string()), {})) {
        app::quitApplication();
    } else {
        vornUpdaterLog().error("restart FAILED: the new version did not start path=",
                               image.string());
    }
}

void StandardUserDriver::showInFolder(const std::filesystem::path& file) {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(file.parent_path().string())));
}

}  // namespace vorn::updates
