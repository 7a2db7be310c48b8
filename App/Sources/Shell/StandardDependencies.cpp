#include <QCoreApplication>

#include "AppDependencies.h"
#include "AppEnvironment.h"
#include "BundleInfo.h"
#include "FeedbackController.h"
#include "Observability.h"
#include "PlatformBackend.h"
#include "StandInServices.h"
#include "StandardUserDriver.h"
#include "UpdateWrapper.h"

namespace vorn::app {
namespace {

class ServicesObservability final : public ObservabilityService {
public:
    ServicesObservability(bool consented, ObservabilitySetup setup)
        : m_observability(consented, std::move(setup)) {}

    void start() override { m_observability.start(); }
    std::shared_ptr<TelemetrySink> sink() const override { return m_observability.sink(); }
    void setConsented(bool consented) override { m_observability.setConsented(consented); }

private:
    Observability m_observability;
};

}  // namespace

std::unique_ptr<ObservabilityService> servicesObservability(bool consented,
                                                            ObservabilitySetup setup) {
    return std::make_unique<ServicesObservability>(consented, std::move(setup));
}

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
        ObservabilitySetup setup;
        setup.dataDirectory = directory;
        return servicesObservability(consented, std::move(setup));
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
    deps.makeSettings = [](std::shared_ptr<SidebarModel> /*model*/, UpdatePreferences* /*prefs*/) {
        return std::make_unique<StandInSettingsWindow>();
    };
    deps.makePanel = defaultPanelFactory();
    return deps;
}

}  // namespace vorn::app
