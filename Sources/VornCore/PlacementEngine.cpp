#include "PlacementEngine.h"

#include <algorithm>
#include <cmath>

#include "Models.h"

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

namespace {

// Rectangles that only touch along an edge do not overlap.
bool overlaps(const Rect& a, const Rect& b) {
    const Rect shared = intersection(a, b);
    return shared.width() > 0 && shared.height() > 0;
}

bool isFinite(const Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width)
           && std::isfinite(r.size.height);
}

}  // namespace

double PlacementEngine::sanitizedWidth(double width) {
    if (!std::isfinite(width)) {
        return Settings::defaultSidebarWidth;
    }
    return std::max(width, 0.0);
}

Rect PlacementEngine::sidebarStrip(const Rect& screen, double width, SidebarSide side) {
    const double w = std::min(screen.width(), sanitizedWidth(width));
    const double x = side == SidebarSide::left ? screen.minX() : screen.maxX() - w;
    return Rect(x, screen.minY(), w, screen.height());
}

Rect PlacementEngine::effectiveArea(const Rect& screen, double sidebarWidth, SidebarSide side) {
    const double w = std::min(screen.width(), sanitizedWidth(sidebarWidth));
    const double x = side == SidebarSide::left ? screen.minX() + w : screen.minX();
    return Rect(x, screen.minY(), screen.width() - w, screen.height());
}

Rect PlacementEngine::contentArea(const Rect& screen, double sidebarWidth, SidebarSide side) {
    const Rect e = effectiveArea(screen, sidebarWidth, side);
    const double dx = std::min(e.width() * 0.5, sideInset);
    const double dy = std::min(e.height() * 0.5, smallGap);
    return Rect(e.minX() + dx, e.minY() + dy, e.width() - 2 * dx, e.height() - 2 * dy);
}

bool PlacementEngine::isOccluded(const Rect& window, const Rect& strip) {
    return overlaps(window, strip);
}

bool PlacementEngine::isOnScreen(const Rect& window, const Rect& screen) {
    return overlaps(window, screen);
}

Rect PlacementEngine::centeredFrame(const Rect& window, const Rect& area) {
    const double w = std::min(window.width(), area.width());
    const double h = std::min(window.height(), area.height());
    return Rect(std::round(area.minX() + (area.width() - w) * 0.5),
                std::round(area.minY() + (area.height() - h) * 0.5), w, h);
}

Rect PlacementEngine::centeredNoResize(const Rect& window, const Rect& area) {
    return Rect(std::round(area.minX() + (area.width() - window.width()) * 0.5),
                std::round(area.minY() + (area.height() - window.height()) * 0.5), window.width(),
                window.height());
}

Rect PlacementEngine::nudgedFrame(const Rect& window,
                                  const Rect& screen,
                                  double sidebarWidth,
                                  SidebarSide side) {
    const Rect strip = sidebarStrip(screen, sidebarWidth, side);
    const double x = side == SidebarSide::left ? strip.maxX() : strip.minX() - window.width();
    return Rect(x, window.minY(), window.width(), window.height());
}

Rect PlacementEngine::relocatedFrame(const Rect& window, const Rect& area) {
    const double x = std::min(std::max(window.minX(), area.minX()),
                              std::max(area.minX(), area.maxX() - window.width()));
    const double y = std::min(std::max(window.minY(), area.minY()),
                              std::max(area.minY(), area.maxY() - window.height()));
    return Rect(x, y, window.width(), window.height());
}

std::optional<Rect> PlacementEngine::target(PlacementMode mode,
                                            PlacementKind kind,
                                            bool resizable,
                                            const Rect& window,
                                            const Rect& screen,
                                            double sidebarWidth,
                                            SidebarSide side,
                                            Stay* why) {
    const auto stay = [why](Stay reason) -> std::optional<Rect> {
        if (why != nullptr) {
            *why = reason;
        }
        return std::nullopt;
    };
    const double width = sanitizedWidth(sidebarWidth);
    Rect candidate;
    switch (mode) {
        case PlacementMode::normal: {
            const double withGap = width + smallGap;
            if (!isOnScreen(window, screen)) {
                candidate = relocatedFrame(window, effectiveArea(screen, withGap, side));
            } else if (!isOccluded(window, sidebarStrip(screen, withGap, side))) {
                return stay(Stay::inPlace);
            } else {
                candidate = nudgedFrame(window, screen, withGap, side);
            }
            break;
        }
        case PlacementMode::center:
            candidate = centeredFrame(window, contentArea(screen, width, side));
            break;
        case PlacementMode::fill:
            if (!resizable) {
                candidate = centeredNoResize(window, contentArea(screen, width, side));
            } else if (kind == PlacementKind::recent) {
                candidate = contentArea(screen, width, side);
            } else {
                candidate = effectiveArea(screen, width, side);
            }
            break;
    }
    // A window may keep a size below the minimum, but is never shrunk below it.
    const auto tooSmall = [](double asked, double own) {
        return !(asked > 0) || asked < std::min(minimumSide, own);
    };
    if (tooSmall(candidate.size.width, window.size.width)
        || tooSmall(candidate.size.height, window.size.height)) {
        return stay(Stay::noRoom);
    }
    const Rect rounded(std::round(candidate.origin.x), std::round(candidate.origin.y),
                       std::round(candidate.size.width), std::round(candidate.size.height));
    // Frames read from other processes can be absurd; never ask for a non-finite frame.
    if (!isFinite(rounded) || rounded == window) {
        return stay(Stay::inPlace);
    }
    return rounded;
}

}  // namespace vorn
