#pragma once

#include <charconv>
#include <string>

namespace vorn::tally {

// A number as the shortest decimal text that reads back to it and always has a fraction, such as
// 1080.0, 1.25 or 1.0e+22: whole numbers get ".0", also in front of an exponent. Empty if the
// text did not fit the buffer, which the longest double does with room to spare.
inline std::string decimalText(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) {
        return {};
    }
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        return text;
    }
    const auto exponent = text.find('e');
    text.insert(exponent == std::string::npos ? text.size() : exponent, ".0");
    return text;
}

}  // namespace vorn::tally
