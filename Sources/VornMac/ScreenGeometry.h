#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Geometry.h"
#include "Screens.h"
#include "WindowServer.h"

namespace vorn {

// One active display with its bounds in top-left coordinates.
struct DisplayBounds {
    std::uint32_t id = 0;
    Rect bounds;

    friend bool operator==(const DisplayBounds&, const DisplayBounds&) = default;
};

// The primary screen's top edge, which the core's bottom-left coordinates and the top-left ones of
// the window server and the accessibility interface are flipped against, and the display a window
// lives on.
class ScreenGeometry {
public:
    ScreenGeometry() = delete;

    // The top edge of the primary screen in bottom-left coordinates: the maximum y of the first
    // screen's frame; 0 without screens or with a frame that is not plausible.
    static double primaryTop(platform::Screens& screens);

    // The active displays in the server's order; those without plausible bounds are left out.
    static std::vector<DisplayBounds> activeDisplays(platform::WindowServer& server);
    // The display that shares the largest area with the rectangle; the earlier one on a tie. No
    // value when no display overlaps it with a positive area.
    static std::optional<std::uint32_t> homeDisplay(const Rect& rect,
                                                    const std::vector<DisplayBounds>& displays);
};

}  // namespace vorn
