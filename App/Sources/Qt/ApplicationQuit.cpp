#include "ApplicationQuit.h"

#include <QCoreApplication>

#include "QuitSignals.h"

namespace vorn::app {
namespace {

bool requested = false;

}  // namespace

void quitApplication() {
    requested = true;
    QuitSignals::quitStarted();
    QCoreApplication::exit(0);
}

bool quitWasRequested() {
    return requested;
}

}  // namespace vorn::app
