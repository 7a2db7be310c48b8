#pragma once

#include <climits>
#include <cmath>
#include <optional>

namespace vorn::app {

// Geometry comes from other processes; casting a non-finite or out-of-range double is
// undefined, so every conversion to int goes through these.

// Truncated toward zero; no value when not finite or beyond what an int holds.
inline std::optional<int> exactInt(double value) {
    if (!std::isfinite(value) || value <= double(INT_MIN) - 1 || value >= double(INT_MAX) + 1) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// Truncated toward zero, saturated at the int range, NaN as 0.
inline int truncatedInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= double(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= double(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace vorn::app
