#include <QCoreApplication>

#include "AppDependencies.h"
#include "AppEnvironment.h"
#include "BundleInfo.h"
#include "ServicesObservability.h"
#include "StandInServices.h"

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
    deps.appVersion = bundle::shortVersion[0] != '\0' ? bundle::shortVersion : "0.0.0";
    deps.makeObservability = [directory = deps.dataDirectory,
                              executor = deps.executor](bool consented) {
        ObservabilitySetup setup;
        setup.dataDirectory = directory;
        return std::make_unique<ServicesObservability>(consented, std::move(setup), executor);
    };
    deps.makeUpdater = [] { return std::make_unique<StandInUpdater>(); };
    deps.makeFeedback = [](std::function<void()> /*onSent*/) {
        return std::make_unique<StandInFeedback>();
    };
    deps.makeSettings = [](std::shared_ptr<SidebarModel> /*model*/, UpdatePreferences* /*prefs*/) {
        return std::make_unique<StandInSettingsWindow>();
    };
    deps.makePanel = defaultPanelFactory();
    return deps;
}

}  // namespace vorn::app
