#pragma once

#include <QIcon>

namespace vorn::app {

// The program's icon: the installed one from the icon theme, else the copy built into the
// program, so that an uninstalled build shows it too.
QIcon appIcon();

}  // namespace vorn::app
