#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Installer.h"
#include "Observation.h"
#include "RunLoop.h"
#include "Transfer.h"
#include "UpdateSettingsFile.h"
#include "UpdaterInterfaces.h"

namespace vorn::updates {

struct UpdaterConfiguration {
    // Both empty: this build does not update itself. A feed without a usable key counts as
    // none.
    std::string feedURL;
    std::string publicKey;  // base64 of the 32 bytes of an Ed25519 public key
    // The running build, compared with the feed's build versions, and how people know it.
    std::string buildVersion;
    std::string displayVersion;
    std::filesystem::path settingsFile;
    // Where private folders for downloads are made.
    std::filesystem::path temporaryDirectory;
    InstallTargets installTargets;
    platform::Duration firstCheckDelay = std::chrono::minutes(1);
    platform::Duration checkInterval = std::chrono::hours(24);

    // This build's settings, the user's configuration folder and the environment.
    static UpdaterConfiguration standard();
};

enum class UpdaterFlag {
    automaticallyChecksForUpdates,
    automaticallyDownloadsUpdates,
    allowsAutomaticUpdates,
};

// Checks the feed, offers a newer build, downloads it, verifies its signature and puts it in
// place, with one update session at a time. Scheduled checks run every checkInterval while
// automatic checks are on, the first one firstCheckDelay after start() or after they were
// turned on. Main thread only.
class Updater {
public:
    Updater(UpdaterConfiguration configuration,
            platform::RunLoop& loop,
            UpdateUserDriver& driver,
            UpdaterDelegate* delegate);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // Reads the user's settings and schedules the checks.
    void start();
    // A check the user asked for: its outcome is shown whatever it is.
    void checkForUpdates();

    bool automaticallyChecksForUpdates() const;
    // Only where automatic updates are allowed.
    bool automaticallyDownloadsUpdates() const;
    // Whether this build can update itself at all.
    bool allowsAutomaticUpdates() const;
    // Store the choice (where allowed) and tell the flag's observers when its value changed.
    void setAutomaticallyChecksForUpdates(bool value);
    void setAutomaticallyDownloadsUpdates(bool value);

    // Calls the observer on the main thread after the flag took a new value.
    [[nodiscard]] Subscription observe(UpdaterFlag flag, std::function<void()> observer);

    bool sessionInProgress() const { return m_session != nullptr; }

private:
    struct Session;

    void scheduleChecks();
    void cancelChecks();
    void scheduledCheck();
    void beginCycle(bool userInitiated);
    void feedArrived(TransferResult result);
    void offerUpdate();
    void download();
    void downloadFinished(TransferResult result);
    void verifyAndInstall();
    void abort(const UpdateError& error);
    void endSession();
    void removeFiles();
    // A reply of the driver that only acts while its session lasts.
    std::function<void()> whileSession(std::function<void()> action);
    void setFlag(UpdaterFlag flag, bool& field, bool value);

    const UpdaterConfiguration m_configuration;
    const bool m_configured;
    platform::RunLoop& m_loop;
    UpdateUserDriver& m_driver;
    UpdaterDelegate* const m_delegate;
    UpdateSettingsFile m_settingsFile;
    UpdateSettings m_settings;
    ObservationRegistry<UpdaterFlag> m_observers;
    std::optional<platform::TimerID> m_timer;
    bool m_started = false;
    std::unique_ptr<Session> m_session;
    std::uint64_t m_sessionNumber = 0;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

// The engine with its windows: starts the updater at once when asked to.
class UpdaterController {
public:
    UpdaterController(bool startingUpdater,
                      UpdaterConfiguration configuration,
                      platform::RunLoop& loop,
                      std::unique_ptr<UpdateUserDriver> driver,
                      UpdaterDelegate* delegate);

    Updater& updater() { return m_updater; }

private:
    std::unique_ptr<UpdateUserDriver> m_driver;
    Updater m_updater;
};

}  // namespace vorn::updates
