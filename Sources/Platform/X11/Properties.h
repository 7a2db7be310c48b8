#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <xcb/xcb.h>

#include "Connection.h"
#include "WindowServer.h"

namespace vorn::platform::x11 {

// A property's value as the server sent it. Other programs write these, so nothing in them is
// trusted: wrong formats give no value and text is made valid UTF-8.
struct PropertyView {
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t format = 0;
    std::span<const std::uint8_t> bytes;
};

// The view of a reply; an empty one for no reply or an absent property.
PropertyView viewOf(const xcb_get_property_reply_t* reply);

// The 32-bit items of a property of format 32 (cardinals, windows, atoms); none otherwise.
std::vector<std::uint32_t> cardinals(const PropertyView& property);
std::optional<std::uint32_t> firstCardinal(const PropertyView& property);

// Text of format 8 up to its first NUL: UTF-8 when the type is utf8Type (repaired where
// invalid), decoded COMPOUND_TEXT when it is compoundTextType, otherwise Latin-1 converted to
// UTF-8. No value for other formats or no property.
std::optional<std::string> propertyText(const PropertyView& property,
                                        xcb_atom_t utf8Type,
                                        xcb_atom_t compoundTextType = XCB_ATOM_NONE);

// WM_CLASS: the instance and the class, two NUL-terminated strings.
struct WindowClass {
    std::string instance;
    std::string windowClass;

    friend bool operator==(const WindowClass&, const WindowClass&) = default;
};
std::optional<WindowClass> windowClass(const PropertyView& property);

// _NET_FRAME_EXTENTS: left, right, top, bottom.
struct FrameExtents {
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    std::uint32_t top = 0;
    std::uint32_t bottom = 0;

    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};
// Frames thicker than this are taken as garbage and ignored.
inline constexpr std::uint32_t maxFrameExtent = 4096;
std::optional<FrameExtents> frameExtents(const PropertyView& property);

// _NET_WM_STRUT_PARTIAL, or _NET_WM_STRUT with full-length spans: space reserved along the root
// window's edges, each over a span of the other axis (inclusive ends).
struct Strut {
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    std::uint32_t top = 0;
    std::uint32_t bottom = 0;
    std::uint32_t leftStartY = 0;
    std::uint32_t leftEndY = 0;
    std::uint32_t rightStartY = 0;
    std::uint32_t rightEndY = 0;
    std::uint32_t topStartX = 0;
    std::uint32_t topEndX = 0;
    std::uint32_t bottomStartX = 0;
    std::uint32_t bottomEndX = 0;

    friend bool operator==(const Strut&, const Strut&) = default;
};
std::optional<Strut> strutPartial(const PropertyView& property);
std::optional<Strut> plainStrut(const PropertyView& property);

// _NET_WM_WINDOW_OPACITY as a fraction from 0 to 1.
std::optional<double> opacity(const PropertyView& property);

// _NET_WM_ICON: icons one after the other, each its width, its height and its pixels (ARGB).
// Icons larger than this on a side are taken as garbage.
inline constexpr std::uint32_t maxIconSide = 1024;
// Enough for a 512-pixel icon and all the smaller ones programs put beside it.
inline constexpr std::uint32_t maxIconPropertyLength = 1u << 20;
struct IconProperty {
    // The whole icon nearest the size asked for.
    std::optional<WindowIcon> nearest;
    // Not all of it could be read: an absurd size, the property's end inside an icon, or a
    // wrong type or format. Icons before the damage still count.
    bool damaged = false;
};
IconProperty netWmIcon(const PropertyView& property, std::uint32_t side);

}  // namespace vorn::platform::x11
