#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Geometry.h"
#include "WindowServer.h"

namespace vorn {

// One window as the window server lists it.
struct EnumeratedWindow {
    std::uint32_t windowID = 0;
    std::int32_t ownerPID = 0;
    std::string ownerName;  // "" when the entry has none
    Rect cgBounds;          // top-left coordinates

    friend bool operator==(const EnumeratedWindow&, const EnumeratedWindow&) = default;
};

// The window layer's only reader of the window list. Keeps nothing: each call asks again. No
// value means the server gave no usable list, which is not the same as an empty one.
class WindowEnumerator {
public:
    WindowEnumerator() = delete;

    static constexpr double minimumSide = 40.0;
    static constexpr double minimumAlpha = 0.05;

    // The ordinary on-screen windows of every process but the excluded one, front to back.
    static std::optional<std::vector<EnumeratedWindow>> currentScreenWindows(
        platform::WindowServer& server, std::int32_t excludingPID);
    // The numbers of every window, on screen or not (minimised, other desktops).
    static std::optional<std::set<std::uint32_t>> allWindowIDs(platform::WindowServer& server);
    // The owner of the window; decided by the first entry with that number alone.
    static std::optional<std::int32_t> ownerPID(platform::WindowServer& server,
                                                std::uint32_t ofWindow);
};

}  // namespace vorn
