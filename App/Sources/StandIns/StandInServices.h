#pragma once

#include "FeedbackService.h"
#include "SoftwareUpdater.h"

namespace vorn::app {

// Minimal services until the real ones are built: each does what the menu and start-up need and
// logs the rest.

// Feedback cannot be sent from this build: says so in an alert.
class StandInFeedback final : public FeedbackService {
public:
    void show() override;
};

// No update framework: a check finds nothing, and automatic updates are off.
class StandInUpdater final : public SoftwareUpdater {
public:
    StandInUpdater();
    bool automaticallyChecksForUpdates() const override { return false; }
    bool automaticallyDownloadsUpdates() const override { return false; }
    bool allowsAutomaticUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool value) override;
    void setAutomaticallyDownloadsUpdates(bool value) override;
    void checkForUpdates() override;
};

}  // namespace vorn::app
