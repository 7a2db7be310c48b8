#include <QCoreApplication>

#include "AppDependencies.h"
#include "AppEnvironment.h"
#include "BundleInfo.h"
#include "Observability.h"
#include "SettingsWindowController.h"
#include "StandInServices.h"

namespace vorn::app {
namespace {

// Crash reporting and analytics as the services library starts them.
class ServicesObservability final : public ObservabilityService {
public:
    ServicesObservability(bool consented, std::filesystem::path dataDirectory)
        : m_observability(consented, setupFor(std::move(dataDirectory))) {}

    void start() override { m_observability.start(); }
    std::shared_ptr<TelemetrySink> sink() const override { return m_observability.sink(); }

private:
    static ObservabilitySetup setupFor(std::filesystem::path dataDirectory) {
        ObservabilitySetup setup;
        setup.dataDirectory = std::move(dataDirectory);
        return setup;
    }

    Observability m_observability;
};

}  // namespace

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
    deps.makeObservability = [directory = deps.dataDirectory](bool consented) {
        return std::make_unique<ServicesObservability>(consented, directory);
    };
    deps.makeUpdater = [] { return std::make_unique<StandInUpdater>(); };
    deps.makeFeedback = [](std::function<void()> /*onSent*/) {
        return std::make_unique<StandInFeedback>();
    };
    deps.makeSettings = [](std::shared_ptr<SidebarModel> model, UpdatePreferences* preferences) {
        return std::make_unique<SettingsWindowController>(std::move(model), preferences);
    };
    deps.makePanel = defaultPanelFactory();
    return deps;
}

}  // namespace vorn::app
