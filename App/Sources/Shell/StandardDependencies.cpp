#include <QCoreApplication>

#include "AppDependencies.h"
#include "AppEnvironment.h"
#include "BundleInfo.h"
#include "Observability.h"
#include "StandInServices.h"

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
