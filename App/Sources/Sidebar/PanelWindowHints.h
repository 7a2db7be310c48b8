#pragma once

class QWidget;

namespace vorn::app {

// Asks the window manager to leave the window out of taskbars and pagers. Call it on the hidden
// window before every show: the window manager drops the state of a withdrawn window. Does
// nothing off X11.
void markSkipTaskbarAndPager(QWidget& window);

// Whether a compositing manager runs on the X display, so that translucent window areas show
// what lies behind them rather than black. False off X11.
bool compositorActive();

}  // namespace vorn::app
