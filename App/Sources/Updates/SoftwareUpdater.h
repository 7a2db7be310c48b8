#pragma once

#include <functional>

#include "Observation.h"

namespace vorn::app {

// What the settings window sees of the updater: the automatic-update preferences.
class UpdatePreferences {
public:
    virtual ~UpdatePreferences() = default;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual bool automaticallyDownloadsUpdates() const = 0;
    virtual bool allowsAutomaticUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool value) = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool value) = 0;
    // Calls the observer on the main thread after one of the three values above changed; the
    // changes of a user's click arrive this way too. Preferences that never change need not
    // override it.
    [[nodiscard]] virtual Subscription observePreferences(std::function<void()> /*observer*/) {
        return {};
    }
};

// Checks for, downloads and installs new versions of the program; runs for the whole run.
class SoftwareUpdater : public UpdatePreferences {
public:
    // The user asked from the menu.
    virtual void checkForUpdates() = 0;
};

}  // namespace vorn::app
