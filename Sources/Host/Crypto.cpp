#include "Crypto.h"

#include <climits>
#include <mutex>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace vorn::host {

void initialiseOpenSSL() {
    static std::once_flag once;
    std::call_once(once, [] { OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr); });
}

std::array<std::uint8_t, 32> sha256Digest(std::string_view bytes) {
    initialiseOpenSSL();
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    // The one-shot digest cannot fail for SHA-256 short of memory exhaustion; the zero digest
    // then stands in rather than an uninitialised one.
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1
        || length != digest.size()) {
        digest.fill(0);
    }
    return digest;
}

Uuid randomUuid() {
    initialiseOpenSSL();
    std::array<std::uint8_t, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        return Uuid::random();
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Uuid(bytes);
}

}  // namespace vorn::host
