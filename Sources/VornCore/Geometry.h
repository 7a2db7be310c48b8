#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

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
    // The size's magnitude, exactly as stored (maxX - minX can differ in the last bit).
    double width() const { return std::fabs(size.width); }
    double height() const { return std::fabs(size.height); }

    // Exact equality of origin and size, as stored.
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The area both rectangles cover; of zero size where they do not meet.
inline Rect intersection(const Rect& a, const Rect& b) {
    const double minX = std::max(a.minX(), b.minX());
    const double minY = std::max(a.minY(), b.minY());
    const double maxX = std::min(a.maxX(), b.maxX());
    const double maxY = std::min(a.maxY(), b.maxY());
    return Rect(minX, minY, std::max(0.0, maxX - minX), std::max(0.0, maxY - minY));
}

// A coordinate as a whole number for a log line: the fraction dropped, values beyond the range
// saturated, NaN as 0. Frames come from other processes, and casting such values is undefined.
inline std::int64_t truncatedForLog(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 9223372036854775808.0) {
        return INT64_MAX;
    }
    if (value <= -9223372036854775808.0) {
        return INT64_MIN;
    }
    return static_cast<std::int64_t>(value);
}

// "(x,y wxh)" with truncatedForLog values, as log lines write a frame.
inline std::string logDescription(const Rect& r) {
    std::string out = "(";
    out += std::to_string(truncatedForLog(r.origin.x));
    out += ',';
    out += std::to_string(truncatedForLog(r.origin.y));
    out += ' ';
    out += std::to_string(truncatedForLog(r.size.width));
    out += 'x';
    out += std::to_string(truncatedForLog(r.size.height));
    out += ')';
    return out;
}

}  // namespace vorn
