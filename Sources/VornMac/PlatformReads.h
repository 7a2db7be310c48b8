#pragma once

#include <optional>
#include <string_view>

#include "Accessibility.h"
#include "Geometry.h"
#include "Value.h"

namespace vorn {

// Coordinates beyond this many points from the origin are taken as garbage, not geometry.
inline constexpr double maxPlausibleCoordinate = 1.0e7;

// Every value finite and within the plausible range, so that sums, areas and conversions of the
// rectangle stay finite too.
bool isPlausible(const Rect& rect);

// A rectangle from its dictionary form: the numbers "X", "Y", "Width" and "Height", all present.
// No value for anything else, including values that are not plausible.
std::optional<Rect> rectFromDictionary(const platform::Value& value);

// An attribute's value; a failed request, or success without a value, counts as absent.
std::optional<platform::Value> readAttribute(platform::Accessibility& accessibility,
                                             const platform::Element& element,
                                             std::string_view attribute);

}  // namespace vorn
