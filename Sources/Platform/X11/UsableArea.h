#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "Geometry.h"
#include "Properties.h"

namespace vorn::platform::x11 {

// The part of a monitor that other programs' panels leave for windows, and what it was made of.
struct UsableArea {
    Rect area;
    // The struts, by their place in the list given, that were not honoured.
    std::vector<std::size_t> ignored;
    // Whether the window manager's work area was taken.
    bool fromWorkarea = false;
};

// Struts are what clients declare. Each reserves only the band it declares along an edge (its
// depth from the root's edge over its span), and the area keeps clear of the band the way that
// leaves the most: a short band along the left edge near the top is kept clear below it, as a
// top panel is. A strut is honoured only while, together with those honoured before it, it
// leaves at least half of the monitor's width and height. The window manager's work area (given
// only where it keeps one for this monitor) is preferred when it is consistent: it lies on the
// monitor, leaves at least as much, and every strut was honoured along its own edge (a window
// manager honours a strut that was not, and its work area shows it). Otherwise the struts' area
// stands.
UsableArea usableArea(const Rect& monitor,
                      std::span<const Strut> struts,
                      Size rootSize,
                      const std::optional<Rect>& workarea);

}  // namespace vorn::platform::x11
