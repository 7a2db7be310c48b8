#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vorn::platform::x11 {

// Text of type COMPOUND_TEXT (ISO 2022 as the X Consortium's standard restricts it) as UTF-8.
// Decoded: ASCII; the right halves of ISO 8859 parts 1 to 11 and 13 to 16; the Chinese,
// Japanese and Korean 94x94 sets (GB 2312, JIS X 0208, KS C 5601) and JIS X 0201 katakana;
// UTF-8 in the XFree86 segment (ESC % G ... ESC % @) and in extended segments named "UTF-8".
// Direction marks are dropped; bytes of a set not known here, and bytes a set does not define,
// become U+FFFD. Never fails: the input is whatever a client wrote.
std::string compoundTextToUTF8(std::span<const std::uint8_t> bytes);

}  // namespace vorn::platform::x11
