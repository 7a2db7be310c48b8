#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QPointer>
#include <QRect>

#include "DisplayHostMenu.h"
#include "Models.h"
#include "PanelScreens.h"
#include "SidebarModel.h"
#include "WindowIcons.h"

namespace vorn::app {

class SidebarPanel;
class SidebarView;

// The sidebar panel of one host display: 160 wide, full height, flush on the side of the
// display's visible area that the model's settings name (the side placement leaves free). It is
// not a dock and reserves no space, but for a moment while it asks a window manager to let it
// onto that edge (see SidebarPanel). Main thread only.
class SidebarPanelController {
public:
    static constexpr int panelWidth = 160;

    // Builds the panel hidden, on the display's visible area, else on the fallback screen's.
    // `screens` must outlive the controller.
    SidebarPanelController(std::shared_ptr<SidebarModel> model,
                           std::uint32_t displayID,
                           std::optional<DisplayHostMenu> hostMenu,
                           const PanelScreens& screens,
                           WindowIconReader windowIcons = {});
    // Tears the panel down: hides it and lets go of the model at once; inside the event loop the
    // widgets go in its next turn, since this may run inside one of their handlers.
    ~SidebarPanelController();
    SidebarPanelController(const SidebarPanelController&) = delete;
    SidebarPanelController& operator=(const SidebarPanelController&) = delete;

    std::uint32_t displayID() const { return m_displayID; }

    // Orders the panel front without taking the focus from the window the user works in.
    void show();
    void hide();
    bool isVisible() const;
    // Puts the panel back flush on its display's visible area at full height: the host display,
    // else the screen the panel stands on, else the fallback screen; with no screen at all it
    // stays where it is. Call on every change of the displays or their visible areas.
    void repositionFlushLeft();
    // Lets the panel take the keyboard focus, for typing into a field of the sidebar.
    void requestKeyFocus();
    // Gives the panel the keyboard focus on its active row, for a user who brings the sidebar
    // forward from the keyboard; Escape hands it back to the window that had it.
    void takeKeyFocus();

    SidebarPanel& panel() const;
    SidebarView& view() const;

    // The panel's frame on a visible area.
    static QRect frame(const QRect& visibleArea, SidebarSide side);

private:
    void place(const std::optional<QRect>& area);

    std::uint32_t m_displayID;
    const PanelScreens& m_screens;
    QPointer<SidebarPanel> m_panel;
    SidebarView* m_view = nullptr;
    SidebarSide m_side = SidebarSide::left;
};

}  // namespace vorn::app
