#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "MoveTargets.h"

namespace vorn::app {

// The host display and the two callbacks of the sidebar's "Move to Display" submenu.
struct DisplayHostMenu {
    std::uint32_t currentHostID = 0;
    // Evaluated each time the submenu is built, so it lists the displays connected then.
    std::function<std::vector<DisplayForMove>()> displays;
    // Asks the application to move the sidebar to that display.
    std::function<void(std::uint32_t)> move;
};

}  // namespace vorn::app
