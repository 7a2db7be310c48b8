#pragma once

#include <optional>

#include <xcb/xcb.h>

#include "Connection.h"
#include "Geometry.h"

namespace vorn::platform::x11 {

// Requests to the window manager, sent as a pager sends them (source indication 2), so that
// focus-stealing prevention lets them through. Each returns at once; the window manager acts
// later, and its changes show in later reads.

// Activates the window (un-minimising it and switching to its desktop) with a real server time,
// and raises it.
void requestActivation(const Connection& connection,
                       xcb_window_t window,
                       xcb_timestamp_t time,
                       xcb_window_t currentlyActive);
// Shows the desktop with that number, with the user's time.
void requestCurrentDesktop(const Connection& connection,
                           std::uint32_t desktop,
                           xcb_timestamp_t time);
// Puts the window above all others of its layer.
void requestRaise(const Connection& connection, xcb_window_t window);
// Moves the outer frame's top-left corner to the position and resizes the client to the size,
// either or both, in root coordinates.
void requestMoveResize(const Connection& connection,
                       xcb_window_t window,
                       std::optional<Point> framePosition,
                       std::optional<Size> clientSize);
// Takes the window out of the maximised and full-screen states.
void requestRestore(const Connection& connection, xcb_window_t window);
// Minimises the window.
void requestIconify(const Connection& connection, xcb_window_t window);

}  // namespace vorn::platform::x11
