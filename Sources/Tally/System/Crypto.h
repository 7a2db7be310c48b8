#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "Uuid.h"

namespace vorn::tally::system {

// The SHA-256 digest of the bytes.
std::array<std::uint8_t, 32> sha256Digest(std::string_view bytes);

// A random (version 4) identifier from the system's cryptographic generator.
Uuid randomUuid();

}  // namespace vorn::tally::system
