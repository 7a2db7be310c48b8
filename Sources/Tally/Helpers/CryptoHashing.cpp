#include "Helpers/CryptoHashing.h"

#include "Crypto.h"

namespace vorn::tally {

std::string CryptoHashing::sha256(std::string_view text, std::string_view salt) {
    std::string salted;
    salted.reserve(text.size() + salt.size());
    salted.append(text).append(salt);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (const std::uint8_t byte : host::sha256Digest(salted)) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

}  // namespace vorn::tally
