#pragma once

#include <string>
#include <string_view>

namespace vorn::tally {

struct CryptoHashing {
    // The lowercase hexadecimal SHA-256 of the UTF-8 bytes of text followed by salt: 64
    // characters.
    static std::string sha256(std::string_view text, std::string_view salt);
};

}  // namespace vorn::tally
