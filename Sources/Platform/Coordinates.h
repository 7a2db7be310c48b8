#pragma once

#include "Geometry.h"

namespace vorn::platform {

// The interfaces speak two kinds of global coordinates, both with the primary display as their
// reference. Window frames, as the window server lists them and the accessibility interface
// reads and sets them, are top-left: origin at the primary display's top-left corner, y growing
// downwards. Screens are bottom-left, as in the core: origin at its bottom-left corner, y growing
// upwards. A backend's own coordinates (the X root window's, Qt's) are top-left too, but start
// at the top-left of the whole screen.

// Between top-left and bottom-left coordinates; `top` is the primary display's height, where
// each kind has the other's origin. The same formula serves both directions: x, width and height
// are kept and y' = top - (y + height).
Rect flipped(const Rect& rect, double top);

// From a backend's own top-left coordinates to global ones and back; `origin` is the primary
// display's top-left corner in the backend's coordinates.
Point toGlobal(Point local, Point origin);
Rect toGlobal(const Rect& local, Point origin);
Point fromGlobal(Point global, Point origin);
Rect fromGlobal(const Rect& global, Point origin);

}  // namespace vorn::platform
