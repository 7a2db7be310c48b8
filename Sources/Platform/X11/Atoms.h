#pragma once

#include <xcb/xcb.h>

namespace vorn::platform::x11 {

// The atoms the backend reads and sends, interned once per connection. XCB_ATOM_NONE when the
// server could not intern one; requests with it then simply fail.
struct Atoms {
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t compoundText = XCB_ATOM_NONE;
    xcb_atom_t netSupportingWmCheck = XCB_ATOM_NONE;
    xcb_atom_t netClientList = XCB_ATOM_NONE;
    xcb_atom_t netClientListStacking = XCB_ATOM_NONE;
    xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
    xcb_atom_t netCurrentDesktop = XCB_ATOM_NONE;
    xcb_atom_t netWorkarea = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t netWmPid = XCB_ATOM_NONE;
    xcb_atom_t netWmDesktop = XCB_ATOM_NONE;
    xcb_atom_t netFrameExtents = XCB_ATOM_NONE;
    xcb_atom_t netWmWindowOpacity = XCB_ATOM_NONE;
    xcb_atom_t netWmIcon = XCB_ATOM_NONE;
    xcb_atom_t netWmStrut = XCB_ATOM_NONE;
    xcb_atom_t netWmStrutPartial = XCB_ATOM_NONE;
    xcb_atom_t netWmAllowedActions = XCB_ATOM_NONE;
    xcb_atom_t netWmActionResize = XCB_ATOM_NONE;
    xcb_atom_t netMoveresizeWindow = XCB_ATOM_NONE;
    xcb_atom_t netRestackWindow = XCB_ATOM_NONE;

    xcb_atom_t netWmWindowType = XCB_ATOM_NONE;
    xcb_atom_t typeNormal = XCB_ATOM_NONE;
    xcb_atom_t typeDialog = XCB_ATOM_NONE;
    xcb_atom_t typeUtility = XCB_ATOM_NONE;
    xcb_atom_t typeToolbar = XCB_ATOM_NONE;
    xcb_atom_t typeMenu = XCB_ATOM_NONE;
    xcb_atom_t typeSplash = XCB_ATOM_NONE;
    xcb_atom_t typeDock = XCB_ATOM_NONE;
    xcb_atom_t typeDesktop = XCB_ATOM_NONE;
    xcb_atom_t typeNotification = XCB_ATOM_NONE;
    xcb_atom_t typeDropdownMenu = XCB_ATOM_NONE;
    xcb_atom_t typePopupMenu = XCB_ATOM_NONE;
    xcb_atom_t typeTooltip = XCB_ATOM_NONE;
    xcb_atom_t typeCombo = XCB_ATOM_NONE;
    xcb_atom_t typeDnd = XCB_ATOM_NONE;

    xcb_atom_t netWmState = XCB_ATOM_NONE;
    xcb_atom_t stateHidden = XCB_ATOM_NONE;
    xcb_atom_t stateMaximizedVert = XCB_ATOM_NONE;
    xcb_atom_t stateMaximizedHorz = XCB_ATOM_NONE;
    xcb_atom_t stateFullscreen = XCB_ATOM_NONE;

    xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
    xcb_atom_t kdeNetWmDesktopFile = XCB_ATOM_NONE;
    xcb_atom_t wmChangeState = XCB_ATOM_NONE;
    xcb_atom_t edid = XCB_ATOM_NONE;
    // The display number of the whole screen when the server has no RandR monitors.
    xcb_atom_t wholeScreenMonitor = XCB_ATOM_NONE;
    // A property of the backend's own window, changed only to learn the server's time.
    xcb_atom_t vornTimestamp = XCB_ATOM_NONE;
};

// Interns every atom with one round trip; false when the connection broke meanwhile.
[[nodiscard]] bool internAtoms(xcb_connection_t* connection, Atoms& atoms);

}  // namespace vorn::platform::x11
