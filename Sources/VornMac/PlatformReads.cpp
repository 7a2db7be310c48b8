#include "PlatformReads.h"

#include <cmath>

#include "WindowServer.h"

namespace vorn {
namespace {

bool plausible(double value) {
    return std::isfinite(value) && std::abs(value) <= maxPlausibleCoordinate;
}

}  // namespace

bool isPlausible(const Rect& rect) {
    return plausible(rect.origin.x) && plausible(rect.origin.y) && plausible(rect.size.width)
           && plausible(rect.size.height);
}

std::optional<Rect> rectFromDictionary(const platform::Value& value) {
    namespace key = platform::windowkey;
    const platform::Value* x = value.member(key::boundsX);
    const platform::Value* y = value.member(key::boundsY);
    const platform::Value* width = value.member(key::boundsWidth);
    const platform::Value* height = value.member(key::boundsHeight);
    if (x == nullptr || y == nullptr || width == nullptr || height == nullptr) {
        return std::nullopt;
    }
    auto vx = x->asDouble();
    auto vy = y->asDouble();
    auto vw = width->asDouble();
    auto vh = height->asDouble();
    if (!vx || !vy || !vw || !vh) {
        return std::nullopt;
    }
    const Rect rect(*vx, *vy, *vw, *vh);
    if (!isPlausible(rect)) {
        return std::nullopt;
    }
    return rect;
}

std::optional<platform::Value> readAttribute(platform::Accessibility& accessibility,
                                             const platform::Element& element,
                                             std::string_view attribute) {
    auto reply = accessibility.copyAttributeValue(element, attribute);
    if (reply.status != platform::AXStatus::success) {
        return std::nullopt;
    }
    return std::move(reply.value);
}

}  // namespace vorn
