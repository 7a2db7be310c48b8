#pragma once

#include <array>
#include <optional>
#include <string_view>

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

}  // namespace vorn
