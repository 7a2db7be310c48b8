#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Geometry.h"
#include "Value.h"

namespace vorn::platform {

// Options of the window list, combined as bits.
namespace windowlist {
inline constexpr std::uint32_t onScreenOnly = 0x01;
inline constexpr std::uint32_t excludeDesktopElements = 0x10;
}  // namespace windowlist

// Keys of one window-list entry and of its bounds dictionary.
namespace windowkey {
inline constexpr std::string_view number = "kCGWindowNumber";
inline constexpr std::string_view ownerPID = "kCGWindowOwnerPID";
inline constexpr std::string_view ownerName = "kCGWindowOwnerName";
inline constexpr std::string_view layer = "kCGWindowLayer";
inline constexpr std::string_view bounds = "kCGWindowBounds";
inline constexpr std::string_view alpha = "kCGWindowAlpha";

inline constexpr std::string_view boundsX = "X";
inline constexpr std::string_view boundsY = "Y";
inline constexpr std::string_view boundsWidth = "Width";
inline constexpr std::string_view boundsHeight = "Height";
}  // namespace windowkey

// Keys of the session dictionary.
namespace sessionkey {
inline constexpr std::string_view screenIsLocked = "CGSSessionScreenIsLocked";
inline constexpr std::string_view onConsole = "kCGSSessionOnConsoleKey";
}  // namespace sessionkey

struct DisplayListReply {
    std::int32_t error = 0;  // 0 on success
    std::uint32_t count = 0;
};

// A display's vendor, model and serial numbers.
struct DisplayIdentity {
    std::uint32_t vendor = 0;
    std::uint32_t model = 0;
    std::uint32_t serial = 0;

    friend bool operator==(const DisplayIdentity&, const DisplayIdentity&) = default;
};

// What a display is called besides its number; each name is empty when it has none.
struct DisplayNames {
    std::string connector;  // where it is plugged in, "HDMI-1" for example
    std::string monitor;    // the display's own name at the window server

    friend bool operator==(const DisplayNames&, const DisplayNames&) = default;
};

// A picture a window carries of itself: width × height pixels, row by row, each 0xAARRGGBB with
// straight (not premultiplied) alpha.
struct WindowIcon {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;

    friend bool operator==(const WindowIcon&, const WindowIcon&) = default;
};

// Whether an icon `a` pixels on its longer side comes nearer to `side` than one of `b`; of two
// equally near, the larger, which scales down more cleanly.
constexpr bool isNearerIconSide(std::uint32_t a, std::uint32_t b, std::uint32_t side) {
    const auto distance = [side](std::uint32_t s) { return s > side ? s - side : side - s; };
    return distance(a) < distance(b) || (distance(a) == distance(b) && a > b);
}

// The window server's view: every window with its owner and bounds, the active displays and the
// login session. Coordinates are global points with the origin at the top left of the primary
// display, y growing downwards.
class WindowServer {
public:
    virtual ~WindowServer() = default;

    // The windows front to back, each entry normally a dictionary keyed as in windowkey, filtered
    // by the windowlist options; relative to no window when relativeToWindow is 0. No value when
    // the server gives no list; the value is whatever the server sent and need not be an array.
    virtual std::optional<Value> copyWindowList(std::uint32_t options,
                                                std::uint32_t relativeToWindow) = 0;
    // With an empty buffer, the number of active displays; otherwise fills the buffer with up
    // to its size display numbers, in the server's order, and reports how many it wrote.
    virtual DisplayListReply getActiveDisplayList(std::span<std::uint32_t> buffer) = 0;
    virtual std::optional<Rect> displayBounds(std::uint32_t display) = 0;
    // The display's UUID in canonical upper-case form; no value when it has none.
    virtual std::optional<std::string> displayUUID(std::uint32_t display) = 0;
    virtual std::optional<DisplayIdentity> displayIdentity(std::uint32_t display) = 0;
    // The display's connector and own names; no value for a display that is not connected.
    virtual std::optional<DisplayNames> displayNames(std::uint32_t display) = 0;
    // The current login session's dictionary (keys in sessionkey); no value without one.
    virtual std::optional<Value> copySessionDictionary() = 0;
    // An opaque text that names this run of the window server: the same for every client and
    // every call while the server runs, different after a restart of the server, a reboot or a
    // new login, that is whenever window numbers may have been handed out again. No value when
    // it cannot be told.
    virtual std::optional<std::string> sessionIdentity() = 0;
    // The window's own icon in the size nearest `side` pixels; no value when it has none or
    // none that can be used. Asks the server on every call: callers keep what they need.
    virtual std::optional<WindowIcon> windowIcon(std::uint32_t window, std::uint32_t side) = 0;
};

}  // namespace vorn::platform
