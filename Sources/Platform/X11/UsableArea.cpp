#include "UsableArea.h"

#include <algorithm>
#include <array>

namespace vorn::platform::x11 {
namespace {

// Panels, docks and bars take a strip along an edge; more than half a monitor is not a panel.
constexpr double minimumUsableFraction = 0.5;

enum class Edge {
    left,
    right,
    top,
    bottom
};

struct Band {
    Edge edge;
    Rect rect;  // root coordinates
};

bool leavesRoom(const Rect& area, const Rect& monitor) {
    return area.width() >= monitor.width() * minimumUsableFraction
           && area.height() >= monitor.height() * minimumUsableFraction;
}

// The span's extent, its end inclusive; nothing for an end before the start.
std::pair<double, double> span(std::uint32_t start, std::uint32_t end) {
    if (end < start) {
        return {0, 0};
    }
    return {static_cast<double>(start), static_cast<double>(end) + 1};
}

std::vector<Band> bandsOf(const Strut& s, Size root) {
    std::vector<Band> bands;
    const auto add = [&](Edge edge, double x, double y, double w, double h) {
        if (w > 0 && h > 0) {
            bands.push_back({edge, Rect(x, y, w, h)});
        }
    };
    const auto [ly0, ly1] = span(s.leftStartY, s.leftEndY);
    add(Edge::left, 0, ly0, s.left, ly1 - ly0);
    const auto [ry0, ry1] = span(s.rightStartY, s.rightEndY);
    add(Edge::right, root.width - s.right, ry0, s.right, ry1 - ry0);
    const auto [tx0, tx1] = span(s.topStartX, s.topEndX);
    add(Edge::top, tx0, 0, tx1 - tx0, s.top);
    const auto [bx0, bx1] = span(s.bottomStartX, s.bottomEndX);
    add(Edge::bottom, bx0, root.height - s.bottom, bx1 - bx0, s.bottom);
    return bands;
}

// The area kept clear of the band in the way that leaves the most of it; `along` tells whether
// that is the way the band's own edge asks for.
Rect clearOf(const Rect& area, const Band& band, bool& along) {
    const Rect reserved = intersection(area, band.rect);
    along = true;
    if (!(reserved.width() > 0) || !(reserved.height() > 0)) {
        return area;
    }
    const std::array<std::pair<Edge, Rect>, 4> ways = {{
        {Edge::left,
         Rect(reserved.maxX(), area.minY(), area.maxX() - reserved.maxX(), area.height())},
        {Edge::right, Rect(area.minX(), area.minY(), reserved.minX() - area.minX(), area.height())},
        {Edge::top,
         Rect(area.minX(), reserved.maxY(), area.width(), area.maxY() - reserved.maxY())},
        {Edge::bottom, Rect(area.minX(), area.minY(), area.width(), reserved.minY() - area.minY())},
    }};
    const auto size = [](const Rect& r) { return r.width() * r.height(); };
    // The band's own edge first, so that it wins a tie.
    Rect best;
    bool found = false;
    for (const auto& [edge, rest] : ways) {
        if (edge == band.edge) {
            best = rest;
            found = true;
        }
    }
    for (const auto& [edge, rest] : ways) {
        if (edge != band.edge && (!found || size(rest) > size(best))) {
            best = rest;
            found = true;
            along = false;
        }
    }
    return best;
}

}  // namespace

UsableArea usableArea(const Rect& monitor,
                      std::span<const Strut> struts,
                      Size rootSize,
                      const std::optional<Rect>& workarea) {
    UsableArea result{monitor, {}, false};
    bool allAlong = true;
    for (std::size_t i = 0; i < struts.size(); ++i) {
        const Strut& s = struts[i];
        if (s.left > rootSize.width || s.right > rootSize.width || s.top > rootSize.height
            || s.bottom > rootSize.height) {
            // Reserving more than the screen is garbage, not a panel.
            result.ignored.push_back(i);
            continue;
        }
        // Each strut is judged with the ones honoured before it.
        Rect cut = result.area;
        bool along = true;
        for (const Band& band : bandsOf(s, rootSize)) {
            bool bandAlong = true;
            cut = clearOf(cut, band, bandAlong);
            along = along && bandAlong;
        }
        if (leavesRoom(cut, monitor)) {
            result.area = cut;
            allAlong = allAlong && along;
        } else {
            result.ignored.push_back(i);
        }
    }
    if (workarea && allAlong && result.ignored.empty()) {
        const Rect area = intersection(*workarea, monitor);
        if (area == *workarea && leavesRoom(area, monitor)) {
            result.area = area;
            result.fromWorkarea = true;
        }
    }
    return result;
}

}  // namespace vorn::platform::x11
