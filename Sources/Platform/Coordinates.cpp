#include "Coordinates.h"

namespace vorn::platform {

Rect flipped(const Rect& rect, double top) {
    return Rect(rect.origin.x, top - (rect.origin.y + rect.size.height), rect.size.width,
                rect.size.height);
}

Point toGlobal(Point local, Point origin) {
    return {local.x - origin.x, local.y - origin.y};
}

Rect toGlobal(const Rect& local, Point origin) {
    const Point at = toGlobal(local.origin, origin);
    return Rect(at.x, at.y, local.size.width, local.size.height);
}

Point fromGlobal(Point global, Point origin) {
    return {global.x + origin.x, global.y + origin.y};
}

Rect fromGlobal(const Rect& global, Point origin) {
    const Point at = fromGlobal(global.origin, origin);
    return Rect(at.x, at.y, global.size.width, global.size.height);
}

}  // namespace vorn::platform
