#pragma once

#include <algorithm>

namespace vorn {

// Points in double precision. The core uses bottom-left coordinates: origin at the bottom left
// of the primary display, y growing upwards.
struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height)
        : origin{x, y}
        , size{width, height} {}

    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    double width() const { return maxX() - minX(); }
    double height() const { return maxY() - minY(); }

    // Exact equality of origin and size, as stored.
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace vorn
