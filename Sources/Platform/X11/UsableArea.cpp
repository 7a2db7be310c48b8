#include "UsableArea.h"

#include <algorithm>

#include "Monitors.h"

namespace vorn::platform::x11 {
namespace {

// Panels, docks and bars take a strip along an edge; more than half a monitor is not a panel.
constexpr double minimumUsableFraction = 0.5;

bool leavesRoom(const Rect& area, const Rect& monitor) {
    return area.width() >= monitor.width() * minimumUsableFraction
           && area.height() >= monitor.height() * minimumUsableFraction;
}

Rect intersection(const Rect& a, const Rect& b) {
    const double left = std::max(a.minX(), b.minX());
    const double top = std::max(a.minY(), b.minY());
    const double right = std::min(a.maxX(), b.maxX());
    const double bottom = std::min(a.maxY(), b.maxY());
    return Rect(left, top, std::max(0.0, right - left), std::max(0.0, bottom - top));
}

}  // namespace

UsableArea usableArea(const Rect& monitor,
                      std::span<const Strut> struts,
                      Size rootSize,
                      const std::optional<Rect>& workarea) {
    UsableArea result{monitor, {}, false};
    // Each strut cuts what the ones before it left, so each is judged with them.
    for (std::size_t i = 0; i < struts.size(); ++i) {
        const Rect cut = visibleArea(result.area, struts.subspan(i, 1), rootSize);
        if (leavesRoom(cut, monitor)) {
            result.area = cut;
        } else {
            result.ignored.push_back(i);
        }
    }
    if (workarea) {
        const Rect area = intersection(*workarea, monitor);
        if (area == *workarea && leavesRoom(area, monitor)) {
            result.area = area;
            result.fromWorkarea = true;
        }
    }
    return result;
}

}  // namespace vorn::platform::x11
