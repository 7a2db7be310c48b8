#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

// Windows whose process cannot be told stand in for a process of their class, numbered from
// here: above any process id the kernel hands out (at most 2^22), so that no real process is
// ever taken for one.
inline constexpr std::int32_t firstStandInPID = 1 << 30;
inline bool isStandInPID(std::int32_t pid) {
    return pid >= firstStandInPID;
}

// One managed top-level window, as far as it was asked for.
struct ClientWindow {
    xcb_window_t id = XCB_NONE;
    // The server's answer (X-Resource) for a local client, else _NET_WM_PID when
    // WM_CLIENT_MACHINE names this host; in a snapshot, a stand-in process for a window that
    // has neither but a class.
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
    // _NET_WM_NAME, else WM_NAME; empty when neither is set.
    std::string title;
};

// The parts of a window that are read together, and re-read when an event says they changed.
namespace part {
inline constexpr unsigned geometry = 1;  // the outer frame and the extents
inline constexpr unsigned type = 2;      // window type and transient-for
inline constexpr unsigned state = 4;
inline constexpr unsigned desktop = 8;
inline constexpr unsigned opacity = 16;
inline constexpr unsigned identity = 32;  // class and desktop-entry hints
inline constexpr unsigned strut = 64;
inline constexpr unsigned title = 128;
inline constexpr unsigned all = 255;
}  // namespace part

// The part that a property of a client window belongs to; 0 for properties nothing here reads.
unsigned partOf(xcb_atom_t property, const Atoms& atoms);

// The class a window is known by: the WM_CLASS class, else its instance; empty without either.
std::string classKey(const std::optional<WindowClass>& windowClass);

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

// The outer frame of a client whose inside starts at clientOrigin (root coordinates).
Rect outerFrame(Point clientOrigin, Size clientSize, std::uint16_t border, const FrameExtents& e);

// The smallest client a frame change asks for in either direction, the placement's minimum.
inline constexpr double minimumClientSide = 40;
// The client's size for an outer frame of that size. Extents are whatever the window's
// property says: along a direction where they would leave less than minimumClientSide, they are
// ignored, and the outer size is taken for the client's.
Size clientSizeFor(Size outer, const FrameExtents& e);

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

// The questions about some parts of one window, sent at once and answered later, so that the
// questions about many windows share one round trip.
class WindowQuery {
public:
    WindowQuery(const Connection& connection, xcb_window_t window, unsigned parts);
    // Fills the parts asked for; false when the window is gone (a question failed).
    bool collect(ClientWindow& window);

private:
    const Connection* m_connection;
    unsigned m_parts;
    xcb_get_property_cookie_t m_type{};
    xcb_get_property_cookie_t m_transientFor{};
    xcb_get_property_cookie_t m_state{};
    xcb_get_property_cookie_t m_desktop{};
    xcb_get_property_cookie_t m_opacity{};
    xcb_get_property_cookie_t m_windowClass{};
    xcb_get_property_cookie_t m_gtkApplicationID{};
    xcb_get_property_cookie_t m_kdeDesktopFile{};
    xcb_get_property_cookie_t m_strutPartial{};
    xcb_get_property_cookie_t m_strut{};
    xcb_get_property_cookie_t m_netName{};
    xcb_get_property_cookie_t m_wmName{};
    std::optional<FrameQuery> m_frame;
};

// The owning processes of windows, asked together and collected later. The server names the
// process of a local client (X-Resource extension); for others only the window's word is left:
// _NET_WM_PID, taken only when WM_CLIENT_MACHINE names this host (a remote client's number
// names some process of another machine), and never when it names this very process while the
// server could have confirmed that.
class OwnerQuery {
public:
    OwnerQuery(const Connection& connection, std::span<const xcb_window_t> windows);
    // One entry per window, in order.
    std::vector<std::optional<std::int32_t>> collect();

private:
    struct Claim {
        xcb_get_property_cookie_t pid{};
        xcb_get_property_cookie_t machine{};
    };
    Claim ask(xcb_window_t window) const;
    std::optional<std::int32_t> trusted(const Claim& claim) const;

    const Connection& m_connection;
    std::vector<xcb_window_t> m_windows;
    bool m_withResource = false;
    xcb_res_query_client_ids_cookie_t m_resource{};
    std::vector<Claim> m_claims;
};

// A process id as a property states it; no value for 0 or numbers out of range.
std::optional<std::int32_t> pidFromProperty(const PropertyView& property);
// Whether a WM_CLIENT_MACHINE value names the host this process runs on (letter case aside).
bool namesThisHost(std::string_view machine);

}  // namespace vorn::platform::x11
