#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Screens.h"
#include "WindowServer.h"

namespace vorn {

// The active displays and the screen of a display number. Keeps nothing; reports no errors.
class DisplayUtil {
public:
    DisplayUtil() = delete;

    // More active displays than this is taken as a corrupt answer.
    static constexpr std::uint32_t maxDisplays = 1024;

    // The active displays in the server's order; empty on any failure.
    static std::vector<std::uint32_t> activeDisplayIDs(platform::WindowServer& server);
    // The first screen carrying the display number whose geometry is usable; no value without.
    static std::optional<platform::Screen> nsScreen(platform::Screens& screens,
                                                    std::uint32_t displayID);
    // The screen's display number from its device description.
    static std::optional<std::uint32_t> displayNumber(const platform::Screen& screen);
};

}  // namespace vorn
