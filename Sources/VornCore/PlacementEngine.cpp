#include "PlacementEngine.h"

namespace vorn {

std::string_view rawValue(PlacementMode mode) {
    switch (mode) {
        case PlacementMode::normal:
            return "normal";
        case PlacementMode::center:
            return "center";
        case PlacementMode::fill:
            return "fill";
    }
    return "fill";
}

std::optional<PlacementMode> placementModeFromRaw(std::string_view raw) {
    for (const auto mode : allPlacementModes) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

std::string_view name(PlacementKind kind) {
    return kind == PlacementKind::pinned ? "pinned" : "recent";
}

}  // namespace vorn
