#pragma once

#include <algorithm>
#include <cmath>
#include <map>

#include <QColor>
#include <QImage>
#include <QRect>

namespace vorn::test {

// The contrast ratio of two colours as readability guidelines define it (1 to 21). Written apart
// from the program's own, so that a fault there cannot hide itself.
inline double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// How text drawn in the area stands out: its most frequent colour is taken as the background and
// the pixel that differs most from it as the ink.
inline double textContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++counts[image.pixel(x, y)];
        }
    }
    if (counts.empty()) {
        return 1;
    }
    const QColor background(
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first);
    double best = 1;
    for (const auto& [pixel, count] : counts) {
        best = std::max(best, contrast(QColor(pixel), background));
    }
    return best;
}

}  // namespace vorn::test
