#pragma once

#include "ModalAlert.h"
#include "SidebarModel.h"

namespace vorn::app {

// Tells the user that a window a click asked for did not come: a new window of the
// application, or one that shows the tab's document.
AlertContent openFailureAlert(const OpenFailure& failure);

}  // namespace vorn::app
