#include "ApplicationQuit.h"

#include <QCoreApplication>

namespace vorn::app {
namespace {

bool requested = false;

}  // namespace

void quitApplication() {
    requested = true;
    QCoreApplication::exit(0);
}

bool quitWasRequested() {
    return requested;
}

}  // namespace vorn::app
