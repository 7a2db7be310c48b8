#include <QCoreApplication>

#include "AppDependencies.h"
#include "AppEnvironment.h"
#include "FeedbackController.h"
#include "PlatformBackend.h"
#include "ReleaseInfo.h"
#include "ServicesObservability.h"
#include "SettingsWindowController.h"
#include "StandardUserDriver.h"
#include "UpdateWrapper.h"

namespace vorn::app {

AppDependencies standardDependencies(PlatformBackend& backend,
                                     ScreenEvents& screenEvents,
                                     std::shared_ptr<MainExecutor> executor) {
    AppDependencies deps;
    deps.backend = &backend;
    deps.screenEvents = &screenEvents;
    deps.executor = std::move(executor);
    deps.dataDirectory = AppEnvironment::dataDirectory();
    deps.bundlePath = QCoreApplication::applicationFilePath().toStdString();
    deps.appVersion = ReleaseInfo::current().version();
    deps.makeObservability = [directory = deps.dataDirectory, executor = deps.executor,
                              &screenEvents](bool consented) {
        ObservabilitySetup setup;
        setup.dataDirectory = directory;
        return std::make_unique<ServicesObservability>(consented, std::move(setup), executor,
                                                       screenEvents);
    };
    deps.makeUpdater = [&loop = backend.services().runLoop, executor = deps.executor] {
        return std::make_unique<updates::SoftwareUpdater>(
            [&loop](updates::UpdaterDelegate& updaterDelegate,
                    updates::UserDriverDelegate& userDriverDelegate) {
                auto configuration = updates::UpdaterConfiguration::standard();
                auto driver = std::make_unique<updates::StandardUserDriver>(
                    userDriverDelegate, configuration.displayVersion);
                return std::make_unique<updates::UpdaterController>(
                    true, std::move(configuration), loop, std::move(driver), &updaterDelegate);
            },
            *executor);
    };
    deps.makeFeedback = [executor = deps.executor](std::function<void()> onSent) {
        return FeedbackController::fromBundle(std::move(onSent), executor);
    };
    deps.makeSettings = [](std::shared_ptr<SidebarModel> model, UpdatePreferences* updates,
                           UsageDataPreference* usageData) {
        return std::make_unique<SettingsWindowController>(std::move(model), updates, usageData);
    };
    deps.makePanel = defaultPanelFactory();
    return deps;
}

}  // namespace vorn::app
