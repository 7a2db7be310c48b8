#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Executor.h"
#include "Observation.h"
#include "SoftwareUpdater.h"
#include "Updater.h"
#include "UpdaterInterfaces.h"

namespace vorn::updates {

// The program's one contact with the update engine: starts it, mirrors its three flags for
// the settings window, forwards the user's check and the two preference changes, shows the
// program in the taskbar while a scheduled update is on screen, and logs every step of an
// update cycle. One for the whole run; main thread only.
class SoftwareUpdater final : public app::SoftwareUpdater,
                              public UpdaterDelegate,
                              public UserDriverDelegate {
public:
    // Makes the engine's controller with this object as both of its delegates.
    using ControllerFactory = std::function<std::unique_ptr<UpdaterController>(
        UpdaterDelegate& updaterDelegate, UserDriverDelegate& userDriverDelegate)>;

    // Creates and starts the engine, reads its flags into the mirrors and observes them;
    // observed changes are taken up as tasks of the main executor.
    SoftwareUpdater(const ControllerFactory& makeController, MainExecutor& main);
    ~SoftwareUpdater() override;
    SoftwareUpdater(const SoftwareUpdater&) = delete;
    SoftwareUpdater& operator=(const SoftwareUpdater&) = delete;

    // The mirrors: only the engine's notifications change them.
    bool automaticallyChecksForUpdates() const override { return m_automaticallyChecksForUpdates; }
    bool automaticallyDownloadsUpdates() const override { return m_automaticallyDownloadsUpdates; }
    bool allowsAutomaticUpdates() const override { return m_allowsAutomaticUpdates; }
    void setAutomaticallyChecksForUpdates(bool value) override;
    void setAutomaticallyDownloadsUpdates(bool value) override;
    [[nodiscard]] Subscription observePreferences(std::function<void()> observer) override;
    void checkForUpdates() override;

    bool supportsGentleScheduledUpdateReminders() const override { return true; }
    void willHandleShowingUpdate(bool handleShowingUpdate,
                                 const AppcastItem& item,
                                 const UserUpdateState& state) override;
    void willFinishUpdateSession() override;

    void didFindValidUpdate(const AppcastItem& item) override;
    void didNotFindUpdate(const UpdateError& error) override;
    void didDownloadUpdate(const AppcastItem& item) override;
    void failedToDownloadUpdate(const AppcastItem& item, const UpdateError& error) override;
    void didExtractUpdate(const AppcastItem& item) override;
    void willInstallUpdate(const AppcastItem& item) override;
    void didAbortWithError(const UpdateError& error) override;

private:
    enum class Mirror {
        checks,
        downloads,
        allows,
    };
    void refresh(std::initializer_list<Mirror> mirrors);
    void store(bool& mirror, bool value);
    Updater& updater() { return m_controller->updater(); }

    MainExecutor& m_main;
    std::unique_ptr<UpdaterController> m_controller;
    std::vector<Subscription> m_observations;
    bool m_automaticallyChecksForUpdates = false;
    bool m_automaticallyDownloadsUpdates = false;
    bool m_allowsAutomaticUpdates = false;
    ObservationRegistry<int> m_mirrorObservers;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

// The error's domain, ":" and code, then those of each underlying error, joined by "<-",
// outermost first (such as A:4<-B:-1). An error met a second time ends the walk, so a chain
// that refers back to itself still ends.
std::string errorChain(const UpdateError& error);

}  // namespace vorn::updates
