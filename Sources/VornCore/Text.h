#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::text {

// The canonical composition (NFC) of UTF-8 text; invalid bytes become U+FFFD.
std::string nfc(std::string_view utf8);

// Whether two texts are equal under Unicode canonical equivalence ("e" + combining acute equals
// the precomposed letter). Case-sensitive.
bool canonicallyEqual(std::string_view a, std::string_view b);

// The text without white space and line breaks (the Unicode White_Space property: spaces of
// every width, tabs, line and paragraph separators) at either end. Invalid bytes become U+FFFD.
std::string trimmed(std::string_view utf8);

// The key under which two window titles of one application are the same document: composed,
// trimmed, without leading edit markers ("●", "•", "*"), without the " — Edited" / " - Edited"
// suffixes and one " — <app>" / " - <app>" suffix, in either order, fully lower-cased
// independent of locale. Suffixes match whole characters (grapheme clusters) only.
std::string normalizedTitle(std::string_view title, std::string_view appName);

// The longest title, document path or name the program keeps, in bytes of UTF-8: as much as the
// X11 backend reads of a live window's title.
inline constexpr std::size_t longestKeptText = 4096;

// The longest application identifier the program keeps, in bytes of UTF-8: as much as the X11
// backend takes of one from a window.
inline constexpr std::size_t longestKeptIdentifier = 255;

// Cuts the text to at most maxBytes on a character boundary; true when something was cut.
bool cutToLength(std::string& utf8, std::size_t maxBytes = longestKeptText);

// The text with the ASCII letters A-Z lower-cased; every other byte, UTF-8 included, is kept as
// it is. For keys and protocol words that are plain ASCII, where locale rules must not apply.
std::string asciiLowercased(std::string_view text);

// The value of one ASCII hexadecimal digit of either case, or -1 for any other character.
int hexDigitValue(char c);

// The value of the `count` ASCII decimal digits at `at` (such as the year of a date), or none
// when the text is shorter or one of them is no digit.
std::optional<int> decimalValue(std::string_view text, std::size_t at, std::size_t count);

// The longest start of the UTF-8 text that has at most maxBytes bytes and ends on a character
// boundary: a character is never cut in two.
std::string_view utf8Prefix(std::string_view utf8, std::size_t maxBytes);

}  // namespace vorn::text
