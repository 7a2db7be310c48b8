// Usage: VornUsageDataChild <data directory> <analytics base address>
// The program as `vorn` runs it on $DISPLAY, with the analytics service at the given address.
#include <memory>
#include <string>

#include <QApplication>

#include "AppDelegate.h"
#include "AppDependencies.h"
#include "ApplicationLife.h"
#include "Logging.h"
#include "Observability.h"
#include "QtRunLoop.h"
#include "ScreenEvents.h"
#include "ServicesObservability.h"
#include "X11PlatformBackend.h"

int main(int argc, char** argv) {
    using namespace vorn::app;
    if (argc < 3) {
        return 2;
    }
    const std::string dataDirectory = argv[1];
    const std::string baseURL = argv[2];
    installLogging();
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    connectApplicationLife(application);

    auto runLoop = std::make_shared<QtRunLoop>();
    X11PlatformBackend backend(*runLoop);
    if (!backend.isConnected()) {
        return 1;
    }
    ScreenEvents screenEvents;
    screenEvents.followApplicationScreens();
    AppDependencies deps = standardDependencies(backend, screenEvents, runLoop);
    deps.dataDirectory = dataDirectory;
    deps.makeObservability = [dataDirectory, baseURL, runLoop, &screenEvents](bool consented) {
        vorn::ObservabilitySetup setup;
        setup.dataDirectory = dataDirectory;
        setup.deployment = {"", "APP-ID", baseURL};
        return std::make_unique<ServicesObservability>(consented, std::move(setup), runLoop,
                                                       screenEvents);
    };
    AppDelegate delegate(std::move(deps));
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
