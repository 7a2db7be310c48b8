#pragma once

#include <xcb/xcb.h>

class QWidget;

namespace vorn::app {

// The toolkit's connection to the X server; null off X11 and before the application exists.
xcb_connection_t* x11Connection();

// Asks the window manager to leave the window out of taskbars and pagers. Call it on the hidden
// window before every show: the window manager drops the state of a withdrawn window. Does
// nothing off X11.
void markSkipTaskbarAndPager(QWidget& window);

}  // namespace vorn::app
