#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "NewWindowMenuMatcher.h"
#include "Value.h"
#include "WindowLayerContext.h"

namespace vorn {

// A menu item with the element that presses it.
struct MenuCandidate {
    MenuItemDescriptor descriptor;
    platform::Element element;
};

// Makes an application open a new window: through its own New Window menu item, or by launching
// (or activating) it. Neither waits for the window; the window manager does.
class NewWindowOpener {
public:
    NewWindowOpener() = delete;

    // Presses the New Window item of the first running process of the application; true when an
    // item was found and the press was accepted.
    [[nodiscard]] static bool pressNewWindowMenu(const WindowLayerContext& context,
                                                 const std::string& bundleID);
    // Asks the system to open the application, which activates it when it runs. Returns at once;
    // nothing happens when the application is not installed.
    static void launch(const WindowLayerContext& context, const std::string& bundleID);

    // The items of every menu of the menu bar, top level only (submenus are not searched).
    static std::vector<MenuCandidate> newWindowCandidates(const WindowLayerContext& context,
                                                          const platform::Element& menuBar);

private:
    static bool pressNewWindowMenu(const WindowLayerContext& context, std::int32_t pid);
};

}  // namespace vorn
