#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// A 128-bit identifier. Written as the 36-character hyphenated form in upper case; read in
// either case.
class Uuid {
public:
    Uuid() = default;
    explicit Uuid(const std::array<std::uint8_t, 16>& bytes)
        : m_bytes(bytes) {}

    // A new random (version 4) identifier.
    static Uuid random();
    // Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in any case; anything else gives no value.
    static std::optional<Uuid> parse(std::string_view text);

    std::string string() const;
    const std::array<std::uint8_t, 16>& bytes() const { return m_bytes; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

}  // namespace vorn

template <>
struct std::hash<vorn::Uuid> {
    std::size_t operator()(const vorn::Uuid& uuid) const noexcept;
};
