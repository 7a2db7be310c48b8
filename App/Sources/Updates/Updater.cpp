#include "Updater.h"

#include <cstdlib>

#include "BundleInfo.h"
#include "HttpSession.h"
#include "Log.h"
#include "ReleaseInfo.h"
#include "Signature.h"
#include "Version.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorn::updates {
namespace {

// The cause below a downloadError when the bytes are not what the feed promised.
constexpr char downloadErrorDomain[] = "org.vorn.update.download";
constexpr long lengthMismatch = 1;

}  // namespace

struct Updater::Session {
    bool userInitiated = false;
    AppcastItem item;
    std::unique_ptr<Transfer> transfer;
    std::filesystem::path folder;   // private to this session; removed when it ends
    std::filesystem::path package;  // the download inside it
    bool offered = false;           // the user saw the offer: the download is shown too
    UserUpdateState state() const { return UserUpdateState{userInitiated}; }
};

UpdaterConfiguration UpdaterConfiguration::standard() {
    UpdaterConfiguration configuration;
    configuration.feedURL = bundle::updateFeedURL;
    configuration.publicKey = bundle::updatePublicKey;
    const ReleaseInfo release = ReleaseInfo::current();
    configuration.displayVersion = release.version();
    // The build number orders builds; a build without one is known by its version.
    configuration.buildVersion = release.buildNumber.value_or(configuration.displayVersion);
    configuration.settingsFile = UpdateSettingsFile::standardPath();
    std::error_code ignored;
    configuration.temporaryDirectory = std::filesystem::temp_directory_path(ignored);
    if (configuration.temporaryDirectory.empty()) {
        configuration.temporaryDirectory = "/tmp";
    }
    configuration.installTargets = InstallTargets::current();
    return configuration;
}

namespace {

bool usable(const UpdaterConfiguration& configuration) {
    if (configuration.feedURL.empty() && configuration.publicKey.empty()) {
        return false;
    }
    if (!host::isValidURL(configuration.feedURL)) {
        vornUpdaterLog().error("update feed address unusable; updates are off");
        return false;
    }
    if (!isUsablePublicKey(configuration.publicKey)) {
        vornUpdaterLog().error("update public key is not a base64 Ed25519 key; updates are off");
        return false;
    }
    if (!isVersion(configuration.buildVersion)) {
        vornUpdaterLog().error("running build version is not numeric; updates are off build=",
                               configuration.buildVersion);
        return false;
    }
    return true;
}

}  // namespace

Updater::Updater(UpdaterConfiguration configuration,
                 platform::RunLoop& loop,
                 UpdateUserDriver& driver,
                 UpdaterDelegate* delegate)
    : m_configuration(std::move(configuration))
    , m_configured(usable(m_configuration))
    , m_loop(loop)
    , m_driver(driver)
    , m_delegate(delegate)
    , m_settingsFile(m_configuration.settingsFile) {}

Updater::~Updater() {
    cancelChecks();
    if (m_session) {
        m_session->transfer.reset();
        removeFiles();
    }
}

void Updater::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    if (m_configured) {
        m_settings = m_settingsFile.load();
        scheduleChecks();
    }
}

bool Updater::automaticallyChecksForUpdates() const {
    return m_configured && m_settings.automaticallyChecks;
}

bool Updater::automaticallyDownloadsUpdates() const {
    return m_configured && m_settings.automaticallyDownloads;
}

bool Updater::allowsAutomaticUpdates() const {
    return m_configured;
}

void Updater::setAutomaticallyChecksForUpdates(bool value) {
    if (!m_configured) {
        return;
    }
    setFlag(UpdaterFlag::automaticallyChecksForUpdates, m_settings.automaticallyChecks, value);
}

void Updater::setAutomaticallyDownloadsUpdates(bool value) {
    if (!m_configured) {
        return;
    }
    setFlag(UpdaterFlag::automaticallyDownloadsUpdates, m_settings.automaticallyDownloads, value);
}

void Updater::setFlag(UpdaterFlag flag, bool& field, bool value) {
    if (field == value) {
        return;
    }
    field = value;
    m_settingsFile.save(m_settings);
    if (flag == UpdaterFlag::automaticallyChecksForUpdates && m_started) {
        if (value) {
            scheduleChecks();
        } else {
            cancelChecks();
        }
    }
    m_observers.notify(flag);
}

Subscription Updater::observe(UpdaterFlag flag, std::function<void()> observer) {
    return m_observers.observe([flag, observer = std::move(observer)](UpdaterFlag changed) {
        if (changed == flag) {
            observer();
        }
    });
}

void Updater::scheduleChecks() {
    cancelChecks();
    if (!automaticallyChecksForUpdates()) {
        return;
    }
    std::weak_ptr<int> alive = m_lifetime;
    m_timer = m_loop.addTimer(m_configuration.firstCheckDelay, false, [this, alive] {
        if (alive.expired()) {
            return;
        }
        m_timer = m_loop.addTimer(m_configuration.checkInterval, true, [this, alive] {
            if (!alive.expired()) {
                scheduledCheck();
            }
        });
        scheduledCheck();
    });
}

void Updater::cancelChecks() {
    if (m_timer) {
        m_loop.cancelTimer(*m_timer);
        m_timer.reset();
    }
}

void Updater::scheduledCheck() {
    if (m_session) {
        vornUpdaterLog().debug("scheduled update check skipped: a session is in progress");
        return;
    }
    beginCycle(false);
}

void Updater::checkForUpdates() {
    if (!m_configured) {
        vornUpdaterLog().notice("update check skipped: this build names no update feed");
        m_driver.showUpdatesUnavailable();
        return;
    }
    if (m_session) {
        m_driver.showUpdateInFocus();
        return;
    }
    beginCycle(true);
}

void Updater::beginCycle(bool userInitiated) {
    m_session = std::make_unique<Session>();
    m_session->userInitiated = userInitiated;
    ++m_sessionNumber;
    std::weak_ptr<int> alive = m_lifetime;
    m_session->transfer =
        Transfer::start(TransferRequest{m_configuration.feedURL, std::nullopt, largestAppcast},
                        m_loop, {}, [this, alive](TransferResult result) {
                            if (!alive.expired()) {
                                feedArrived(std::move(result));
                            }
                        });
}

void Updater::feedArrived(TransferResult result) {
    m_session->transfer.reset();
    if (result.error) {
        abort(makeUpdateError(appcastFetchError, "The update feed could not be loaded.")
                  .causedBy(*result.error));
        return;
    }
    const Appcast appcast = parseAppcast(result.body);
    if (appcast.error) {
        abort(makeUpdateError(appcastParseError, "The update feed could not be read.")
                  .causedBy(UpdateError{"xml", appcast.error->code, appcast.error->description,
                                        nullptr}));
        return;
    }
    for (const std::string& reason : appcast.skipped) {
        vornUpdaterLog().notice("appcast ", reason, "; skipped");
    }
    const AppcastItem* best = nullptr;
    for (const AppcastItem& item : appcast.items) {
        const auto newer = compareVersions(item.buildVersion, m_configuration.buildVersion);
        if (newer && *newer > 0
            && (best == nullptr || *compareVersions(item.buildVersion, best->buildVersion) > 0)) {
            best = &item;
        }
    }
    if (best == nullptr) {
        const UpdateError none =
            makeUpdateError(noUpdateError, "Vorn " + m_configuration.displayVersion
                                               + " is currently the newest version available.");
        if (m_delegate != nullptr) {
            m_delegate->didNotFindUpdate(none);
            m_delegate->didAbortWithError(none);
        }
        if (m_session->userInitiated) {
            m_driver.showUpdateNotFound(none, whileSession([this] { endSession(); }));
        } else {
            endSession();
        }
        return;
    }
    AppcastItem item = *best;
    const auto address = resolveAddress(m_configuration.feedURL, item.url);
    if (!address) {
        abort(makeUpdateError(appcastParseError, "The update feed could not be read.")
                  .causedBy(UpdateError{
                      "xml", 0, "the enclosure's address is unusable: " + item.url, nullptr}));
        return;
    }
    item.url = *address;
    m_session->item = std::move(item);
    if (m_delegate != nullptr) {
        m_delegate->didFindValidUpdate(m_session->item);
    }
    // A scheduled check may fetch the update by itself; the user then sees it once it is in
    // place.
    if (!m_session->userInitiated && automaticallyDownloadsUpdates()) {
        download();
        return;
    }
    offerUpdate();
}

void Updater::offerUpdate() {
    m_session->offered = true;
    const std::uint64_t number = m_sessionNumber;
    std::weak_ptr<int> alive = m_lifetime;
    m_driver.showUpdateFound(m_session->item, m_session->state(),
                             [this, alive, number](UpdateChoice choice) {
                                 if (alive.expired() || !m_session || number != m_sessionNumber) {
                                     return;
                                 }
                                 if (choice == UpdateChoice::install) {
                                     download();
                                 } else {
                                     endSession();
                                 }
                             });
}

void Updater::download() {
    Session& session = *m_session;
    // A folder only this user can enter, so nothing can swap the package between the check
    // of its signature and its installation.
    std::string folder = (m_configuration.temporaryDirectory / "vorn-update-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        const int number = errno;
        const UpdateError error =
            makeUpdateError(downloadError, "The update could not be downloaded.")
                .causedBy(UpdateError{"posix", number, "no private download folder", nullptr});
        if (m_delegate != nullptr) {
            m_delegate->failedToDownloadUpdate(session.item, error);
        }
        abort(error);
        return;
    }
    session.folder = folder;
    session.package =
        session.folder / packageFileName(session.item.url, "Vorn-" + session.item.displayVersion);
    const int fd = ::open(session.package.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
    std::weak_ptr<int> alive = m_lifetime;
    const bool visible = session.offered;
    if (visible) {
        const std::uint64_t number = m_sessionNumber;
        m_driver.showDownloadInitiated([this, alive, number] {
            if (alive.expired() || !m_session || number != m_sessionNumber) {
                return;
            }
            vornUpdaterLog().notice("update download cancelled by the user build=",
                                    m_session->item.buildVersion);
            m_session->transfer.reset();
            endSession();
        });
    }
    const std::uint64_t expected = session.item.length;
    session.transfer = Transfer::start(
        TransferRequest{session.item.url, session.package, expected}, m_loop,
        [this, alive, visible, expected](std::uint64_t received, std::uint64_t) {
            if (!alive.expired() && visible) {
                m_driver.showDownloadProgress(received, expected);
            }
        },
        [this, alive](TransferResult result) {
            if (!alive.expired()) {
                downloadFinished(std::move(result));
            }
        });
}

void Updater::downloadFinished(TransferResult result) {
    Session& session = *m_session;
    session.transfer.reset();
    std::optional<UpdateError> failure = result.error;
    if (!failure && result.received != session.item.length) {
        failure = UpdateError{downloadErrorDomain, lengthMismatch,
                              "received " + std::to_string(result.received)
                                  + " bytes where the feed promised "
                                  + std::to_string(session.item.length),
                              nullptr};
    }
    if (failure) {
        const UpdateError error =
            makeUpdateError(downloadError, "The update could not be downloaded.")
                .causedBy(*failure);
        if (m_delegate != nullptr) {
            m_delegate->failedToDownloadUpdate(session.item, error);
        }
        abort(error);
        return;
    }
    if (m_delegate != nullptr) {
        m_delegate->didDownloadUpdate(session.item);
    }
    verifyAndInstall();
}

void Updater::verifyAndInstall() {
    Session& session = *m_session;
    if (const auto mismatch =
            verifyEd25519(session.package, session.item.edSignature, m_configuration.publicKey)) {
        abort(makeUpdateError(signatureError,
                              "The update is improperly signed and could not be validated.")
                  .causedBy(*mismatch));
        return;
    }
    if (m_delegate != nullptr) {
        m_delegate->didExtractUpdate(session.item);
        m_delegate->willInstallUpdate(session.item);
    }
    const InstallOutcome outcome = installPackage(session.package, m_configuration.installTargets,
                                                  session.package.filename().string());
    if (!outcome.installation) {
        abort(makeUpdateError(installError, "The update could not be installed.")
                  .causedBy(outcome.error.value_or(UpdateError{})));
        return;
    }
    vornUpdaterLog().notice("update installed build=", session.item.buildVersion,
                            " path=", outcome.installation->path.string());
    removeFiles();
    m_driver.showInstalled(session.item, *outcome.installation, session.state(),
                           whileSession([this] { endSession(); }));
}

void Updater::abort(const UpdateError& error) {
    // Nothing of a failed cycle stays on disk, whether or not the user reads the alert.
    removeFiles();
    if (m_delegate != nullptr) {
        m_delegate->didAbortWithError(error);
    }
    if (m_session->userInitiated) {
        m_driver.showUpdaterError(error, whileSession([this] { endSession(); }));
    } else {
        endSession();
    }
}

std::function<void()> Updater::whileSession(std::function<void()> action) {
    std::weak_ptr<int> alive = m_lifetime;
    return [this, alive, number = m_sessionNumber, action = std::move(action)] {
        if (!alive.expired() && m_session && number == m_sessionNumber) {
            action();
        }
    };
}

void Updater::endSession() {
    if (!m_session) {
        return;
    }
    m_session->transfer.reset();
    removeFiles();
    m_session.reset();
    ++m_sessionNumber;
    m_driver.dismissUpdateInstallation();
}

void Updater::removeFiles() {
    if (!m_session || m_session->folder.empty()) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_session->folder, ignored);
    m_session->folder.clear();
}

UpdaterController::UpdaterController(bool startingUpdater,
                                     UpdaterConfiguration configuration,
                                     platform::RunLoop& loop,
                                     std::unique_ptr<UpdateUserDriver> driver,
                                     UpdaterDelegate* delegate)
    : m_driver(std::move(driver))
    , m_updater(std::move(configuration), loop, *m_driver, delegate) {
    if (startingUpdater) {
        m_updater.start();
    }
}

}  // namespace vorn::updates
