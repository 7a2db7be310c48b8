#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DisplayHostReconciler.h"
#include "Screens.h"
#include "WindowServer.h"

namespace vorn::app {

// A connected display as the chooser and the move menu list it.
struct DisplayOption {
    std::uint32_t id = 0;  // display number
    std::string name;
    int width = 0;  // the full frame in whole points
    int height = 0;
    bool isMain = false;

    friend bool operator==(const DisplayOption&, const DisplayOption&) = default;
};

// A screen that carries a display number.
struct NumberedScreen {
    std::uint32_t id = 0;
    platform::Screen screen;
};

// The application's one view of the connected displays. Every call reads the platform's screen
// list afresh; screens without a display number are left out everywhere. Main thread only.
class DisplayCatalog {
public:
    DisplayCatalog(platform::Screens& screens, platform::WindowServer& server);

    // In the platform's screen order.
    std::vector<DisplayOption> options() const;
    // Survives renumbering: the display's UUID, else "vms:" with its vendor, model and serial
    // numbers, else "output:" with its connector names, else "monitor:" with its own name, else
    // empty.
    std::string stableKey(std::uint32_t displayID) const;
    // The first screen with the display number; none when it is not connected.
    std::optional<platform::Screen> screen(std::uint32_t displayID) const;
    std::vector<DisplaySnapshot> snapshots() const;
    std::vector<NumberedScreen> numberedScreens() const;
    // The main screen's display number, else the first active display's; none without displays.
    std::optional<std::uint32_t> mainDisplayID() const;

    // The key rule itself, shared with the chooser's check for a returning display. A display
    // whose vendor and model are unknown (0xFFFFFFFF) and serial 0 has no identity of its own;
    // the connector it is plugged into then stands for it (it survives unplugging on the same
    // port), and a display made up of no output at all goes by its own name.
    static std::string stableKey(const std::optional<std::string>& uuid,
                                 const std::optional<platform::DisplayIdentity>& identity,
                                 const std::optional<platform::DisplayNames>& names);

private:
    platform::Screens& m_screens;
    platform::WindowServer& m_server;
};

}  // namespace vorn::app
