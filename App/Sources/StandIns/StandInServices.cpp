#include "StandInServices.h"

#include "Log.h"

namespace vorn::app {

void StandInSettingsWindow::show() {
    vornSettingsLog().notice(m_shown ? "settings window refocused" : "settings window shown");
    m_shown = true;
}

void StandInSettingsWindow::close() {
    m_shown = false;
    vornSettingsLog().debug("settings window disposed");
}

}  // namespace vorn::app
