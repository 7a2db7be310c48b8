#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <xcb/res.h>
#include <xcb/xcb.h>

#include "Connection.h"
#include "Geometry.h"
#include "Monitors.h"
#include "Properties.h"

namespace vorn::platform::x11 {

// What a window is for, from _NET_WM_WINDOW_TYPE (the first type this backend knows), else a
// dialog when it is transient for another window, else a normal window.
enum class WindowType {
    normal,
    dialog,
    utility,
    toolbar,
    menu,
    splash,
    dock,
    desktop,
    notification,
    popup
};

WindowType windowTypeOf(std::span<const std::uint32_t> typeAtoms,
                        bool isTransient,
                        const Atoms& atoms);
// The window-list layer of a type: 0 only for ordinary application windows (normal windows and
// dialogs); panels, desktops, splash screens, notifications and popups lie on other layers.
std::int64_t layerOf(WindowType type);

// Sticky windows carry this desktop number.
inline constexpr std::uint32_t allDesktops = 0xFFFFFFFFu;

// One managed top-level window, as far as it was asked for.
struct ClientWindow {
    xcb_window_t id = XCB_NONE;
    // From the X-Resource extension, else _NET_WM_PID.
    std::optional<std::int32_t> pid;

    WindowType type = WindowType::normal;
    bool hidden = false;
    bool maximized = false;
    bool fullscreen = false;
    std::optional<std::uint32_t> desktop;
    // The outer frame (client plus _NET_FRAME_EXTENTS), root coordinates.
    std::optional<Rect> frame;
    FrameExtents extents;
    std::optional<double> opacity;

    std::optional<WindowClass> windowClass;
    std::string gtkApplicationID;
    std::string kdeDesktopFile;

    std::optional<Strut> strut;
};

// Which details readClients fetches besides the lists.
namespace detail {
inline constexpr unsigned owners = 1;
inline constexpr unsigned frames = 2;    // geometry, extents, type, state, desktop, opacity
inline constexpr unsigned identity = 4;  // class and desktop-entry hints
inline constexpr unsigned struts = 8;
inline constexpr unsigned monitors = 16;
}  // namespace detail

struct ClientSnapshot {
    // Front to back, from _NET_CLIENT_LIST_STACKING.
    std::vector<ClientWindow> windows;
    // _NET_CLIENT_LIST: the order in which the windows were first managed.
    std::vector<xcb_window_t> mappingOrder;
    std::optional<std::uint32_t> currentDesktop;
    xcb_window_t activeWindow = XCB_NONE;
    std::optional<Monitors> monitors;

    const ClientWindow* find(xcb_window_t window) const;
    // Not minimised and on the current desktop (or on all of them).
    bool isOnScreen(const ClientWindow& window) const;
};

// The managed windows with the details asked for, in a constant number of round trips however
// many windows there are: every request is sent before any reply is read. No value when the
// window manager keeps no client list (none runs) or the connection broke.
std::optional<ClientSnapshot> readClients(const Connection& connection, unsigned details);

// The owning processes of windows, asked together and collected later: from the X-Resource
// extension, else from the windows' _NET_WM_PID.
class OwnerQuery {
public:
    OwnerQuery(const Connection& connection, std::span<const xcb_window_t> windows);
    // One entry per window, in order.
    std::vector<std::optional<std::int32_t>> collect();

private:
    const Connection& m_connection;
    std::vector<xcb_window_t> m_windows;
    bool m_withResource = false;
    xcb_res_query_client_ids_cookie_t m_resource{};
    std::vector<xcb_get_property_cookie_t> m_pids;
};

// A process id as a property states it; no value for 0 or numbers out of range.
std::optional<std::int32_t> pidFromProperty(const PropertyView& property);

}  // namespace vorn::platform::x11

namespace vorn::platform::x11 {

// The outer frame of a client whose inside starts at clientOrigin (root coordinates).
Rect outerFrame(Point clientOrigin, Size clientSize, std::uint16_t border, const FrameExtents& e);

// Geometry, position and extents of one window, asked together and collected later.
class FrameQuery {
public:
    FrameQuery(const Connection& connection, xcb_window_t window);
    // The outer frame and the extents; no value when the window is gone.
    std::optional<std::pair<Rect, FrameExtents>> collect();

private:
    const Connection& m_connection;
    xcb_get_geometry_cookie_t m_geometry;
    xcb_translate_coordinates_cookie_t m_position;
    xcb_get_property_cookie_t m_extents;
};

}  // namespace vorn::platform::x11
