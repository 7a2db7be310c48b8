#pragma once

#include <string>
#include <string_view>

namespace vorn::text {

// The canonical composition (NFC) of UTF-8 text; invalid bytes become U+FFFD.
std::string nfc(std::string_view utf8);

// Whether two texts are equal under Unicode canonical equivalence ("e" + combining acute equals
// the precomposed letter). Case-sensitive.
bool canonicallyEqual(std::string_view a, std::string_view b);

}  // namespace vorn::text
