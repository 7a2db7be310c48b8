#include "Properties.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "CompoundText.h"
#include "JSON.h"

namespace vorn::platform::x11 {
namespace {

std::string latin1ToUTF8(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::uint8_t byte : bytes) {
        if (byte < 0x80) {
            text.push_back(static_cast<char>(byte));
        } else {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return text;
}

std::span<const std::uint8_t> upToNul(std::span<const std::uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes.first(static_cast<std::size_t>(end - bytes.begin()));
}

}  // namespace

PropertyView viewOf(const xcb_get_property_reply_t* reply) {
    if (reply == nullptr || reply->type == XCB_ATOM_NONE) {
        return {};
    }
    const int length = xcb_get_property_value_length(reply);
    if (length <= 0) {
        return {reply->type, reply->format, {}};
    }
    const auto* data = static_cast<const std::uint8_t*>(
        xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(reply)));
    return {reply->type, reply->format, {data, static_cast<std::size_t>(length)}};
}

std::vector<std::uint32_t> cardinals(const PropertyView& property) {
    if (property.format != 32 || property.bytes.size() < 4) {
        return {};
    }
    std::vector<std::uint32_t> values(property.bytes.size() / 4);
    // The bytes need not be aligned for a 32-bit read.
    std::memcpy(values.data(), property.bytes.data(), values.size() * 4);
    return values;
}

std::optional<std::uint32_t> firstCardinal(const PropertyView& property) {
    if (property.format != 32 || property.bytes.size() < 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, property.bytes.data(), 4);
    return value;
}

std::optional<std::string> propertyText(const PropertyView& property,
                                        xcb_atom_t utf8Type,
                                        xcb_atom_t compoundTextType) {
    if (property.format != 8 || property.type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto bytes = upToNul(property.bytes);
    if (property.type == utf8Type) {
        return json::sanitizeUTF8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    if (property.type == compoundTextType && compoundTextType != XCB_ATOM_NONE) {
        return compoundTextToUTF8(bytes);
    }
    return latin1ToUTF8(bytes);
}

std::optional<WindowClass> windowClass(const PropertyView& property) {
    if (property.format != 8 || property.bytes.empty()) {
        return std::nullopt;
    }
    const auto instance = upToNul(property.bytes);
    std::span<const std::uint8_t> rest;
    if (instance.size() < property.bytes.size()) {
        rest = upToNul(property.bytes.subspan(instance.size() + 1));
    }
    return WindowClass{latin1ToUTF8(instance), latin1ToUTF8(rest)};
}

std::optional<FrameExtents> frameExtents(const PropertyView& property) {
    const auto values = cardinals(property);
    if (values.size() < 4) {
        return std::nullopt;
    }
    if (std::any_of(values.begin(), values.begin() + 4,
                    [](std::uint32_t v) { return v > maxFrameExtent; })) {
        return std::nullopt;
    }
    return FrameExtents{values[0], values[1], values[2], values[3]};
}

std::optional<Strut> strutPartial(const PropertyView& property) {
    const auto v = cardinals(property);
    if (v.size() < 12) {
        return std::nullopt;
    }
    return Strut{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
}

std::optional<Strut> plainStrut(const PropertyView& property) {
    const auto v = cardinals(property);
    if (v.size() < 4) {
        return std::nullopt;
    }
    constexpr std::uint32_t whole = std::numeric_limits<std::uint32_t>::max();
    return Strut{v[0], v[1], v[2], v[3], 0, whole, 0, whole, 0, whole, 0, whole};
}

std::optional<double> opacity(const PropertyView& property) {
    const auto value = firstCardinal(property);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<double>(*value) / static_cast<double>(0xFFFFFFFFu);
}

IconProperty netWmIcon(const PropertyView& property, std::uint32_t side) {
    IconProperty result;
    if (property.type == XCB_ATOM_NONE) {
        return result;
    }
    if (property.type != XCB_ATOM_CARDINAL || property.format != 32) {
        result.damaged = true;
        return result;
    }
    const std::vector<std::uint32_t> values = cardinals(property);
    // Only where the nearest icon starts is kept while walking; its pixels are copied once.
    std::optional<std::size_t> best;
    std::size_t at = 0;
    while (at < values.size()) {
        if (values.size() - at < 2) {
            result.damaged = true;
            break;
        }
        const std::uint32_t width = values[at];
        const std::uint32_t height = values[at + 1];
        // A size that is absurd says nothing reliable about where the next icon starts.
        if (width == 0 || height == 0 || width > maxIconSide || height > maxIconSide) {
            result.damaged = true;
            break;
        }
        const std::size_t count = std::size_t{width} * height;
        if (values.size() - at - 2 < count) {
            result.damaged = true;
            break;
        }
        if (!best
            || isNearerIconSide(std::max(width, height), std::max(values[*best], values[*best + 1]),
                                side)) {
            best = at;
        }
        at += 2 + count;
    }
    if (best) {
        const auto first = values.begin() + static_cast<std::ptrdiff_t>(*best + 2);
        const std::size_t count = std::size_t{values[*best]} * values[*best + 1];
        result.nearest = WindowIcon{
            values[*best], values[*best + 1], {first, first + static_cast<std::ptrdiff_t>(count)}};
    }
    return result;
}

}  // namespace vorn::platform::x11
