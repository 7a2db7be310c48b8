#pragma once

#include <optional>
#include <string_view>

namespace vorn::updates {

// Compares two build versions made of decimal numbers separated by dots, component by
// component, a missing component counting as 0 (1.2 equals 1.2.0); numbers of any length.
// Negative when a is older, 0 when equal, positive when newer; no value when either is not
// such a version.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

bool isVersion(std::string_view text);

}  // namespace vorn::updates
