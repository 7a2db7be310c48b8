#pragma once

#include <optional>

#include <QPoint>
#include <QRect>

#include "Models.h"

class QWidget;

namespace vorn::app {

// The window the window manager reports as active (_NET_ACTIVE_WINDOW); 0 for none, and off X11.
unsigned long activeWindowId();

// Asks the window manager to activate the window as a user's request would (_NET_ACTIVE_WINDOW
// from a pager), so that it is granted even though the asker is not the active window; a window
// on a hidden desktop has its desktop shown first. Does nothing for 0 or off X11.
void requestActivation(unsigned long window);

// Shows the desktop the window is on when another one is shown (_NET_CURRENT_DESKTOP): window
// managers do not give the focus to a window on a hidden desktop. Does nothing off X11.
void showDesktopOf(QWidget& window);

// The window's top-left corner as the X server has it, in Qt's coordinates; none off X11 and
// when it cannot be read. The toolkit's own idea lags behind, and while the window manager takes
// the window on it can mistake the window's place in its frame for its place on the screen.
std::optional<QPoint> serverPosition(QWidget& window);

// Asks to move and size the window to the frame (in Qt's coordinates) whatever the toolkit takes
// its place for. Off X11 sets the toolkit's geometry.
void requestFrame(QWidget& window, const QRect& frame);

// Reserves the band of the screen from the side's edge to the far side of `frame` (in Qt's
// coordinates), over the frame's height (_NET_WM_STRUT_PARTIAL and _NET_WM_STRUT); with no frame
// or an empty one, takes the reservation back. Window managers keep windows out of the bands
// other programs reserve, even where such a band covers most of a display, but let a window into
// a band of its own. Does nothing off X11.
void reserveBand(QWidget& window, std::optional<QRect> frame, SidebarSide side);

// Whether a compositing manager runs on the X display, so that translucent window areas show
// what lies behind them rather than black. False off X11.
bool compositorActive();

}  // namespace vorn::app
