#include "ScreenGeometry.h"

#include <algorithm>

#include "DisplayUtil.h"
#include "Log.h"
#include "PlatformReads.h"

namespace vorn {
namespace {

// The area two rectangles share; 0 when they only touch or do not meet.
double overlapArea(const Rect& a, const Rect& b) {
    const Rect shared = intersection(a, b);
    if (!(shared.width() > 0 && shared.height() > 0)) {
        return 0;
    }
    return shared.width() * shared.height();
}

}  // namespace

double ScreenGeometry::primaryTop(platform::Screens& screens) {
    const std::vector<platform::Screen> all = screens.screens();
    if (all.empty()) {
        return 0;
    }
    if (!isPlausible(all.front().frame)) {
        vornWMLog().error("primary screen frame not plausible; converting against 0");
        return 0;
    }
    return all.front().frame.maxY();
}

std::vector<DisplayBounds> ScreenGeometry::activeDisplays(platform::WindowServer& server) {
    std::vector<DisplayBounds> displays;
    for (std::uint32_t id : DisplayUtil::activeDisplayIDs(server)) {
        const std::optional<Rect> bounds = server.displayBounds(id);
        if (!bounds || !isPlausible(*bounds)) {
            continue;
        }
        displays.push_back({id, *bounds});
    }
    return displays;
}

std::optional<std::uint32_t> ScreenGeometry::homeDisplay(
    const Rect& rect, const std::vector<DisplayBounds>& displays) {
    std::optional<std::uint32_t> home;
    double best = 0;
    for (const DisplayBounds& display : displays) {
        const double area = overlapArea(rect, display.bounds);
        if (area > best) {
            best = area;
            home = display.id;
        }
    }
    return home;
}

}  // namespace vorn
