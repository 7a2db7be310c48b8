#include "ApplicationLife.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include "AppLifecycleBridge.h"
#include "ApplicationQuit.h"
#include "CrashReporter.h"
#include "Log.h"
#include "ModalAlert.h"
#include "QuitSignals.h"

namespace vorn::app {

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
