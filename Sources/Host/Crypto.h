#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "Uuid.h"

namespace vorn::host {

// Initialises OpenSSL, once, without its cleanup at exit: a transfer still running on the HTTP
// thread while the process exits would otherwise use freed state and crash. Everything here
// that uses OpenSSL, directly or through libcurl, calls it first.
void initialiseOpenSSL();

// The SHA-256 digest of the bytes.
std::array<std::uint8_t, 32> sha256Digest(std::string_view bytes);

// A random (version 4) identifier from the system's cryptographic generator.
Uuid randomUuid();

}  // namespace vorn::host
