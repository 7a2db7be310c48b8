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

// Struts are what clients declare; they are honoured only where their declared band crosses the
// monitor, and only while, together with those honoured before them, they leave at least half
// of the monitor's width and height. The window manager's work area (the one it keeps for this
// monitor, when it keeps one) is preferred when it is consistent: it lies on the monitor and
// leaves at least as much. Otherwise the struts' area stands.
UsableArea usableArea(const Rect& monitor,
                      std::span<const Strut> struts,
                      Size rootSize,
                      const std::optional<Rect>& workarea);

}  // namespace vorn::platform::x11
