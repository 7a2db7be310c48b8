#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Executor.h"
#include "FeedbackService.h"
#include "ObservabilityService.h"
#include "SettingsWindow.h"
#include "SidebarModel.h"
#include "SidebarPanelHost.h"
#include "SoftwareUpdater.h"

namespace vorn {
struct ObservabilitySetup;
}

namespace vorn::app {

class UsageDataPreference;

class PlatformBackend;
class ScreenEvents;

// Everything the application delegate builds on, so that tests can start the program on the
// simulated desktop with recording services. The backend and the screen events outlive the
// delegate.
struct AppDependencies {
    PlatformBackend* backend = nullptr;
    ScreenEvents* screenEvents = nullptr;
    std::shared_ptr<MainExecutor> executor;
    std::filesystem::path dataDirectory;
    // Where the program runs from, for the installation check.
    std::string bundlePath;
    std::string appVersion;

    std::function<std::unique_ptr<ObservabilityService>(bool consented)> makeObservability;
    std::function<std::unique_ptr<SoftwareUpdater>()> makeUpdater;
    std::function<std::unique_ptr<FeedbackService>(std::function<void()> onSent)> makeFeedback;
    // Either preference may be null: the window then has no such section.
    std::function<std::unique_ptr<SettingsWindow>(std::shared_ptr<SidebarModel> model,
                                                  UpdatePreferences* updatePreferences,
                                                  UsageDataPreference* usageData)>
        makeSettings;
    PanelFactory makePanel;
};

// The services of this build (stand-ins where the real ones are still to come) over the
// given backend, screen events and executor.
AppDependencies standardDependencies(PlatformBackend& backend,
                                     ScreenEvents& screenEvents,
                                     std::shared_ptr<MainExecutor> executor);

}  // namespace vorn::app
