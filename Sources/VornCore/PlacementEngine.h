#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "Geometry.h"

namespace vorn {

// The user's placement setting.
enum class PlacementMode {
    normal,  // keep the window where it is unless it is off the display or under the sidebar
    center,  // centre the window in the content area, shrinking it to fit
    fill,    // give the window the area beside the sidebar
};

inline constexpr std::array<PlacementMode, 3> allPlacementModes = {
    PlacementMode::normal, PlacementMode::center, PlacementMode::fill};

std::string_view rawValue(PlacementMode mode);
// Exactly "normal", "center" or "fill"; any other text gives no value.
std::optional<PlacementMode> placementModeFromRaw(std::string_view raw);

// The section of the sidebar whose tab is being placed.
enum class PlacementKind {
    pinned,
    recent,  // a claimed tab, or a window being claimed from the ambient list
};

std::string_view name(PlacementKind kind);

enum class SidebarSide;  // Models.h

// Where a window goes when it is brought forward from the sidebar: beside the sidebar, clear of
// it, on the sidebar's display. Pure geometry in bottom-left coordinates. `screen` is always the
// visible frame of the sidebar's display and `window` the window's current frame. Every width
// argument is taken through sanitizedWidth().
class PlacementEngine {
public:
    PlacementEngine() = delete;

    // Gap between the sidebar and a window in normal mode; cap of the vertical content margin.
    static constexpr double smallGap = 16;
    // Cap of the horizontal content margin.
    static constexpr double sideInset = 120;
    // The smallest width and height a placement shrinks a window to: a smaller frame is no
    // place to work in, so a window is never made smaller than this.
    static constexpr double minimumSide = 40;

    // The sidebar width a frame is computed with: a non-finite width (a hand-edited state file)
    // counts as the default 160, a negative one as 0.
    static double sanitizedWidth(double width);

    // The band of the given width along the sidebar's edge (never wider than the screen).
    static Rect sidebarStrip(const Rect& screen, double width, SidebarSide side);
    // The screen less the strip, with no gap.
    static Rect effectiveArea(const Rect& screen, double sidebarWidth, SidebarSide side);
    // The effective area less margins of at most sideInset left and right and smallGap top and
    // bottom; never of negative size.
    static Rect contentArea(const Rect& screen, double sidebarWidth, SidebarSide side);
    // Whether the two rectangles' intersection has positive width and height; touching edges do
    // not overlap.
    static bool isOccluded(const Rect& window, const Rect& strip);
    static bool isOnScreen(const Rect& window, const Rect& screen);
    // Shrunk to fit the area and centred in it; the origin is rounded, the size is not.
    static Rect centeredFrame(const Rect& window, const Rect& area);
    // Centred at its own size, even when larger than the area; the origin is rounded.
    static Rect centeredNoResize(const Rect& window, const Rect& area);
    // Moved sideways only, so that its near edge lies on the strip's inner edge. Not clamped.
    static Rect nudgedFrame(const Rect& window,
                            const Rect& screen,
                            double sidebarWidth,
                            SidebarSide side);
    // Moved the least distance that brings it inside the area, keeping its size; a window
    // larger than the area is put on the area's left (bottom) edge.
    static Rect relocatedFrame(const Rect& window, const Rect& area);

    // Why a window stays as it is: it is already where it belongs, or placing it would shrink
    // it below minimumSide.
    enum class Stay {
        inPlace,
        noRoom
    };

    // The frame to give the window, rounded to whole points (halves away from zero), or no
    // value when it is to stay as it is; `why`, when given, then says why. `resizable` matters
    // only in fill mode.
    static std::optional<Rect> target(PlacementMode mode,
                                      PlacementKind kind,
                                      bool resizable,
                                      const Rect& window,
                                      const Rect& screen,
                                      double sidebarWidth,
                                      SidebarSide side,
                                      Stay* why = nullptr);
};

}  // namespace vorn
