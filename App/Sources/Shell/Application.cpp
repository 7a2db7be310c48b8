#include "Application.h"

#include <memory>

#include <QApplication>

#include "AppDelegate.h"
#include "AppEnvironment.h"
#include "AppIcon.h"
#include "ApplicationLife.h"
#include "ApplicationQuit.h"
#include "BundleInfo.h"
#include "CommandLine.h"
#include "Log.h"
#include "Logging.h"
#include "QtRunLoop.h"
#include "ScreenEvents.h"
#include "SingleInstance.h"
#include "X11PlatformBackend.h"

namespace vorn::app {

int runApplication(int argc, char** argv) {
    if (const auto answered = answerCommandLine(argc, argv)) {
        return *answered;
    }
    // Before the application, whose construction already reports through Qt's messages.
    installLogging();
    // Two instances on one data directory would undo each other's saves: a second start only
    // asks the first to show its sidebar. Decided before anything reads the files.
    SingleInstance instance(AppEnvironment::dataDirectory());
    if (instance.claim() == SingleInstance::Role::second) {
        (void)instance.askToShowSidebar();
        return 0;
    }
    // The program draws on X11 only: the window layer talks to the same server.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    // No display name: Qt would add it to every window title ("Vorn Settings — Vorn"); each
    // window names itself.
    QApplication::setApplicationName(QStringLiteral("vorn"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(bundle::identifier));
    QApplication::setWindowIcon(appIcon());
    // The chooser and the pickers come and go; only the menu's Quit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    connectApplicationLife(application);

    auto runLoop = std::make_shared<QtRunLoop>();
    X11PlatformBackend backend(*runLoop);
    if (!backend.isConnected()) {
        vornAppLog().error("no X display to run on");
        return 1;
    }
    ScreenEvents screenEvents;
    screenEvents.followApplicationScreens();
    int code = 0;
    {
        AppDelegate delegate(standardDependencies(backend, screenEvents, runLoop));
        (void)instance.listen([&delegate] { delegate.showSidebar(); });
        delegate.applicationDidFinishLaunching();
        // A quit signal may have ended a first-run question before the main loop ever ran.
        code = quitWasRequested() ? 0 : QApplication::exec();
        vornAppLog().notice("exiting code=", code);
    }
    return code;
}

}  // namespace vorn::app
