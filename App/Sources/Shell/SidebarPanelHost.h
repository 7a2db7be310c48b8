#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "DisplayHostMenu.h"
#include "PanelScreens.h"
#include "SidebarModel.h"
#include "StatusItems.h"
#include "WindowIcons.h"

namespace vorn::app {

// What the application does with the sidebar panel of its host display.
class SidebarPanelHost {
public:
    virtual ~SidebarPanelHost() = default;

    virtual bool isVisible() const = 0;
    // Shows the panel without activating the application or taking focus.
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    // Lays the panel flush on its display's visible area again.
    virtual void repositionFlushLeft() = 0;
    // Gives the shown panel the keyboard focus on its active row, until Escape hands it back to
    // the window that had it. A panel that takes no keyboard ignores it.
    virtual void takeKeyFocus() {}
    // Closes the panel before it is released; safe inside one of its own signals.
    virtual void close() = 0;
    // Shows the status-bar menu's items in the panel's own menu too; no actions: none. A panel
    // without such a menu ignores them.
    virtual void showStatusItems(StatusItems items) { (void)items; }
};

struct PanelRequest {
    std::shared_ptr<SidebarModel> model;
    std::uint32_t displayID = 0;
    DisplayHostMenu hostMenu;
    const PanelScreens* screens = nullptr;  // outlives the panel
    WindowIconReader windowIcons;
};

// Builds the panel hidden.
using PanelFactory = std::function<std::unique_ptr<SidebarPanelHost>(const PanelRequest&)>;

// The sidebar panel of this build.
PanelFactory defaultPanelFactory();

}  // namespace vorn::app
