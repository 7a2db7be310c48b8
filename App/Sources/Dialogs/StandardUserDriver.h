#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include <QPointer>

#include "UpdaterInterfaces.h"

class QMessageBox;
class QProgressDialog;
class QWidget;

namespace vorn::updates {

// The engine's windows: small alerts that do not block the program, and a download dialog
// that can be cancelled. While the program is an accessory they stay out of the taskbar.
// Main thread only.
class StandardUserDriver final : public UpdateUserDriver {
public:
    static constexpr char offerIdentifier[] = "vorn.update.offer";
    static constexpr char progressIdentifier[] = "vorn.update.progress";
    static constexpr char installedIdentifier[] = "vorn.update.installed";
    static constexpr char noUpdateIdentifier[] = "vorn.update.none";
    static constexpr char errorIdentifier[] = "vorn.update.error";
    static constexpr char unavailableIdentifier[] = "vorn.update.unavailable";

    // Starts the replaced image and quits; or shows a file in the file manager.
    using FileAction = std::function<void(const std::filesystem::path& file)>;

    StandardUserDriver(UserDriverDelegate& delegate,
                       std::string currentVersion,
                       FileAction relaunch = restartInto,
                       FileAction showFile = showInFolder);
    ~StandardUserDriver() override;

    void showUpdateFound(const AppcastItem& item,
                         const UserUpdateState& state,
                         std::function<void(UpdateChoice)> reply) override;
    void showUpdateNotFound(const UpdateError& error, std::function<void()> acknowledged) override;
    void showUpdaterError(const UpdateError& error, std::function<void()> acknowledged) override;
    void showDownloadInitiated(std::function<void()> cancel) override;
    void showDownloadProgress(std::uint64_t received, std::uint64_t expected) override;
    void showInstalled(const AppcastItem& item,
                       const Installation& installation,
                       const UserUpdateState& state,
                       std::function<void()> acknowledged) override;
    void showUpdatesUnavailable() override;
    void showUpdateInFocus() override;
    void dismissUpdateInstallation() override;

    static void restartInto(const std::filesystem::path& image);
    static void showInFolder(const std::filesystem::path& file);

private:
    // Shows an alert; answer gets the index of the button that closed it, or -1.
    void showAlert(const char* identifier,
                   int icon,
                   const QString& message,
                   const QString& informative,
                   const QStringList& buttons,
                   bool activate,
                   std::function<void(int)> answer);
    void present(QWidget& window, bool activate);
    void announce(const AppcastItem& item, const UserUpdateState& state);
    void closeProgress();
    void closeAlert();

    UserDriverDelegate& m_delegate;
    const std::string m_currentVersion;
    const FileAction m_relaunch;
    const FileAction m_showFile;
    QPointer<QMessageBox> m_alert;
    QPointer<QProgressDialog> m_progress;
    bool m_announced = false;
};

}  // namespace vorn::updates
