#include <QCoreApplication>

#include "AppDependencies.h"
#include "AppEnvironment.h"
#include "BundleInfo.h"
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
    deps.makeObservability = [](bool consented) {
        return std::make_unique<LoggingObservability>(consented);
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
