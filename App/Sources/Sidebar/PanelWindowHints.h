#pragma once

class QWidget;

namespace vorn::app {

// Asks the window manager to leave the window out of taskbars and pagers. Call it on the hidden
// window before every show: the window manager drops the state of a withdrawn window. Does
// nothing off X11.
void markSkipTaskbarAndPager(QWidget& window);

// The window the window manager reports as active (_NET_ACTIVE_WINDOW); 0 for none, and off X11.
unsigned long activeWindowId();

// Asks the window manager to activate the window as a user's request would (_NET_ACTIVE_WINDOW
// from a pager), so that it is granted even though the asker is not the active window. Does
// nothing for 0 or off X11.
void requestActivation(unsigned long window);

// Whether a compositing manager runs on the X display, so that translucent window areas show
// what lies behind them rather than black. False off X11.
bool compositorActive();

}  // namespace vorn::app
