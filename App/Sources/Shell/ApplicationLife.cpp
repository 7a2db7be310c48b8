#include "ApplicationLife.h"

#include <chrono>

#include <QGuiApplication>
#include <QSocketNotifier>

#include "AppLifecycleBridge.h"
#include "ApplicationQuit.h"
#include "CrashReporter.h"
#include "Log.h"
#include "ModalAlert.h"
#include "QuitSignals.h"

namespace vorn::app {
namespace {

// How long a quit may take before the process ends without the rest of it.
constexpr std::chrono::milliseconds quitLimit{500};

}  // namespace

void connectApplicationLife(QGuiApplication& application) {
    ModalAlert::setAroundModalRun(&CrashReporter::pauseAppHangTracking,
                                  &CrashReporter::resumeAppHangTracking);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &application,
                     [] { AppLifecycleBridge::willTerminate(); });
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, &application,
                     [active = false](Qt::ApplicationState state) mutable {
                         const bool nowActive = state == Qt::ApplicationActive;
                         if (nowActive == active) {
                             return;
                         }
                         active = nowActive;
                         if (active) {
                             AppLifecycleBridge::didBecomeActive();
                         } else {
                             AppLifecycleBridge::willResignActive();
                         }
                     });
    const auto quitPipe = QuitSignals::install();
    // A main thread deep in a long task (a state file of 200,000 tabs) must not keep a quit
    // waiting: the session manager sends SIGKILL soon after SIGTERM.
    QuitSignals::endWithin(quitLimit);
    if (!quitPipe) {
        vornAppLog().error("quit signals not handled: no pipe");
        return;
    }
    auto* notifier = new QSocketNotifier(*quitPipe, QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [] {
        for (const int signal : QuitSignals::takePending()) {
            vornAppLog().notice("quit on signal=", signal);
        }
        quitApplication();
    });
}

}  // namespace vorn::app
