#include "UpdateWrapper.h"

#include <set>

#include "ActivationPolicy.h"
#include "Log.h"

namespace vorn::updates {

SoftwareUpdater::SoftwareUpdater(const ControllerFactory& makeController, MainExecutor& main)
    : m_main(main) {
    m_controller = makeController(*this, *this);
    m_automaticallyChecksForUpdates = updater().automaticallyChecksForUpdates();
    m_automaticallyDownloadsUpdates = updater().automaticallyDownloadsUpdates();
    m_allowsAutomaticUpdates = updater().allowsAutomaticUpdates();
    // The handler does not trust the notification's moment: it reads the flags again, as a
    // task of its own, and only while this object lives.
    const auto observeFlag = [this](UpdaterFlag flag, std::initializer_list<Mirror> mirrors) {
        std::weak_ptr<int> alive = m_lifetime;
        std::vector<Mirror> list(mirrors);
        return updater().observe(flag, [this, alive, list] {
            m_main.post([this, alive, list] {
                if (alive.expired()) {
                    return;
                }
                for (const Mirror mirror : list) {
                    refresh({mirror});
                }
            });
        });
    };
    m_observations.push_back(observeFlag(UpdaterFlag::automaticallyChecksForUpdates,
                                         {Mirror::checks, Mirror::downloads, Mirror::allows}));
    m_observations.push_back(
        observeFlag(UpdaterFlag::automaticallyDownloadsUpdates, {Mirror::downloads}));
    m_observations.push_back(observeFlag(UpdaterFlag::allowsAutomaticUpdates, {Mirror::allows}));
    vornUpdaterLog().notice("updater started autoCheck=", boolText(m_automaticallyChecksForUpdates),
                            " autoDownload=", boolText(m_automaticallyDownloadsUpdates),
                            " allowsAuto=", boolText(m_allowsAutomaticUpdates));
}

SoftwareUpdater::~SoftwareUpdater() {
    m_observations.clear();
    m_controller.reset();
}

void SoftwareUpdater::refresh(std::initializer_list<Mirror> mirrors) {
    for (const Mirror mirror : mirrors) {
        switch (mirror) {
            case Mirror::checks:
                store(m_automaticallyChecksForUpdates, updater().automaticallyChecksForUpdates());
                break;
            case Mirror::downloads:
                store(m_automaticallyDownloadsUpdates, updater().automaticallyDownloadsUpdates());
                break;
            case Mirror::allows:
                store(m_allowsAutomaticUpdates, updater().allowsAutomaticUpdates());
                break;
        }
    }
}

void SoftwareUpdater::store(bool& mirror, bool value) {
    if (mirror == value) {
        return;
    }
    mirror = value;
    m_mirrorObservers.notify(0);
}

Subscription SoftwareUpdater::observePreferences(std::function<void()> observer) {
    return m_mirrorObservers.observe([observer = std::move(observer)](int) { observer(); });
}

void SoftwareUpdater::checkForUpdates() {
    vornUpdaterLog().notice("user check for updates");
    updater().checkForUpdates();
}

void SoftwareUpdater::setAutomaticallyChecksForUpdates(bool value) {
    vornUpdaterLog().notice("auto update checks -> ", boolText(value));
    updater().setAutomaticallyChecksForUpdates(value);
}

void SoftwareUpdater::setAutomaticallyDownloadsUpdates(bool value) {
    vornUpdaterLog().notice("auto update downloads -> ", boolText(value));
    updater().setAutomaticallyDownloadsUpdates(value);
}

void SoftwareUpdater::willHandleShowingUpdate(bool /*handleShowingUpdate*/,
                                              const AppcastItem& /*item*/,
                                              const UserUpdateState& state) {
    // An update found on schedule appears in the taskbar, so that the user finds it later.
    if (!state.userInitiated) {
        setActivationPolicy(ActivationPolicy::regular);
    }
}

void SoftwareUpdater::willFinishUpdateSession() {
    setActivationPolicy(ActivationPolicy::accessory);
}

void SoftwareUpdater::didFindValidUpdate(const AppcastItem& item) {
    vornUpdaterLog().notice("update found build=", item.buildVersion,
                            " version=", item.displayVersion);
}

void SoftwareUpdater::didNotFindUpdate(const UpdateError& error) {
    vornUpdaterLog().notice("update not found: ", error.description);
}

void SoftwareUpdater::didDownloadUpdate(const AppcastItem& item) {
    vornUpdaterLog().notice("update downloaded build=", item.buildVersion);
}

void SoftwareUpdater::failedToDownloadUpdate(const AppcastItem& item, const UpdateError& error) {
    vornUpdaterLog().error("update download FAILED build=", item.buildVersion, ": ",
                           error.description);
}

void SoftwareUpdater::didExtractUpdate(const AppcastItem& item) {
    vornUpdaterLog().notice("update extracted build=", item.buildVersion);
}

void SoftwareUpdater::willInstallUpdate(const AppcastItem& item) {
    vornUpdaterLog().notice("update will install build=", item.buildVersion);
}

void SoftwareUpdater::didAbortWithError(const UpdateError& error) {
    // The engine ends a cycle that found nothing with this code, whatever the domain.
    if (error.code == noUpdateError) {
        vornUpdaterLog().notice("update cycle ended: no update");
        return;
    }
    vornUpdaterLog().error("update ABORTED chain=", errorChain(error), ": ", error.description);
}

std::string errorChain(const UpdateError& error) {
    std::string chain;
    std::set<const UpdateError*> seen;
    for (const UpdateError* link = &error; link != nullptr && seen.insert(link).second;
         link = link->underlying.get()) {
        if (!chain.empty()) {
            chain += "<-";
        }
        chain += link->domain + ":" + std::to_string(link->code);
    }
    return chain;
}

}  // namespace vorn::updates
