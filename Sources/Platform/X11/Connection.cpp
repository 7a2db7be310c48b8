#include "Connection.h"

#include <array>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include <xcb/randr.h>
#include <xcb/res.h>

#include "Log.h"

namespace vorn::platform::x11 {
namespace {

struct AtomName {
    std::string_view name;
    xcb_atom_t Atoms::*member;
};

constexpr std::array atomNames = {
    AtomName{"UTF8_STRING", &Atoms::utf8String},
    AtomName{"COMPOUND_TEXT", &Atoms::compoundText},
    AtomName{"_NET_SUPPORTING_WM_CHECK", &Atoms::netSupportingWmCheck},
    AtomName{"_NET_CLIENT_LIST", &Atoms::netClientList},
    AtomName{"_NET_CLIENT_LIST_STACKING", &Atoms::netClientListStacking},
    AtomName{"_NET_ACTIVE_WINDOW", &Atoms::netActiveWindow},
    AtomName{"_NET_CURRENT_DESKTOP", &Atoms::netCurrentDesktop},
    AtomName{"_NET_WORKAREA", &Atoms::netWorkarea},
    AtomName{"_NET_WM_NAME", &Atoms::netWmName},
    AtomName{"_NET_WM_PID", &Atoms::netWmPid},
    AtomName{"_NET_WM_DESKTOP", &Atoms::netWmDesktop},
    AtomName{"_NET_FRAME_EXTENTS", &Atoms::netFrameExtents},
    AtomName{"_NET_WM_WINDOW_OPACITY", &Atoms::netWmWindowOpacity},
    AtomName{"_NET_WM_ICON", &Atoms::netWmIcon},
    AtomName{"_NET_WM_STRUT", &Atoms::netWmStrut},
    AtomName{"_NET_WM_STRUT_PARTIAL", &Atoms::netWmStrutPartial},
    AtomName{"_NET_WM_ALLOWED_ACTIONS", &Atoms::netWmAllowedActions},
    AtomName{"_NET_WM_ACTION_RESIZE", &Atoms::netWmActionResize},
    AtomName{"_NET_MOVERESIZE_WINDOW", &Atoms::netMoveresizeWindow},
    AtomName{"_NET_RESTACK_WINDOW", &Atoms::netRestackWindow},
    AtomName{"_NET_WM_WINDOW_TYPE", &Atoms::netWmWindowType},
    AtomName{"_NET_WM_WINDOW_TYPE_NORMAL", &Atoms::typeNormal},
    AtomName{"_NET_WM_WINDOW_TYPE_DIALOG", &Atoms::typeDialog},
    AtomName{"_NET_WM_WINDOW_TYPE_UTILITY", &Atoms::typeUtility},
    AtomName{"_NET_WM_WINDOW_TYPE_TOOLBAR", &Atoms::typeToolbar},
    AtomName{"_NET_WM_WINDOW_TYPE_MENU", &Atoms::typeMenu},
    AtomName{"_NET_WM_WINDOW_TYPE_SPLASH", &Atoms::typeSplash},
    AtomName{"_NET_WM_WINDOW_TYPE_DOCK", &Atoms::typeDock},
    AtomName{"_NET_WM_WINDOW_TYPE_DESKTOP", &Atoms::typeDesktop},
    AtomName{"_NET_WM_WINDOW_TYPE_NOTIFICATION", &Atoms::typeNotification},
    AtomName{"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", &Atoms::typeDropdownMenu},
    AtomName{"_NET_WM_WINDOW_TYPE_POPUP_MENU", &Atoms::typePopupMenu},
    AtomName{"_NET_WM_WINDOW_TYPE_TOOLTIP", &Atoms::typeTooltip},
    AtomName{"_NET_WM_WINDOW_TYPE_COMBO", &Atoms::typeCombo},
    AtomName{"_NET_WM_WINDOW_TYPE_DND", &Atoms::typeDnd},
    AtomName{"_NET_WM_STATE", &Atoms::netWmState},
    AtomName{"_NET_WM_STATE_HIDDEN", &Atoms::stateHidden},
    AtomName{"_NET_WM_STATE_MAXIMIZED_VERT", &Atoms::stateMaximizedVert},
    AtomName{"_NET_WM_STATE_MAXIMIZED_HORZ", &Atoms::stateMaximizedHorz},
    AtomName{"_NET_WM_STATE_FULLSCREEN", &Atoms::stateFullscreen},
    AtomName{"_GTK_APPLICATION_ID", &Atoms::gtkApplicationId},
    AtomName{"_KDE_NET_WM_DESKTOP_FILE", &Atoms::kdeNetWmDesktopFile},
    AtomName{"WM_CHANGE_STATE", &Atoms::wmChangeState},
    AtomName{"EDID", &Atoms::edid},
    AtomName{"default", &Atoms::wholeScreenMonitor},
    AtomName{"_VORN_TIMESTAMP", &Atoms::vornTimestamp},
};

}  // namespace

bool internAtoms(xcb_connection_t* connection, Atoms& atoms) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(atomNames.size());
    for (const AtomName& entry : atomNames) {
        cookies.push_back(xcb_intern_atom(
            connection, 0, static_cast<std::uint16_t>(entry.name.size()), entry.name.data()));
    }
    for (std::size_t i = 0; i < atomNames.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection, cookies[i], nullptr));
        atoms.*(atomNames[i].member) = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return xcb_connection_has_error(connection) == 0;
}

std::unique_ptr<Connection> Connection::open(const std::string& displayName) {
    std::unique_ptr<Connection> connection(new Connection());
    int screenNumber = 0;
    connection->m_connection =
        xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
    if (const int error = xcb_connection_has_error(connection->m_connection); error != 0) {
        vornWMLog().notice("x11: no display display=",
                           displayName.empty() ? "$DISPLAY" : displayName, " error=", error);
        return nullptr;
    }
    if (displayName.empty()) {
        const char* fromEnvironment = std::getenv("DISPLAY");
        connection->m_displayName = fromEnvironment != nullptr ? fromEnvironment : "";
    } else {
        connection->m_displayName = displayName;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection->m_connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        vornWMLog().error("x11: the display has no screen number=", screenNumber);
        return nullptr;
    }
    connection->m_root = screens.data->root;
    connection->m_resourceIdMask = setup->resource_id_mask;
    if (!connection->setUp()) {
        vornWMLog().error("x11: connection broke while setting up");
        return nullptr;
    }
    return connection;
}

bool Connection::setUp() {
    xcb_prefetch_extension_data(m_connection, &xcb_res_id);
    xcb_prefetch_extension_data(m_connection, &xcb_randr_id);
    if (!internAtoms(m_connection, m_atoms)) {
        return false;
    }

    const xcb_query_extension_reply_t* res = xcb_get_extension_data(m_connection, &xcb_res_id);
    if (res != nullptr && res->present != 0) {
        // Process ids of clients need version 1.2.
        Reply<xcb_res_query_version_reply_t> version(xcb_res_query_version_reply(
            m_connection, xcb_res_query_version(m_connection, 1, 2), nullptr));
        m_hasResource = version
                        && (version->server_major > 1
                            || (version->server_major == 1 && version->server_minor >= 2));
    }
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(m_connection, &xcb_randr_id);
    if (randr != nullptr && randr->present != 0) {
        Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            m_connection, xcb_randr_query_version(m_connection, 1, 5), nullptr));
        m_hasMonitors = version
                        && (version->major_version > 1
                            || (version->major_version == 1 && version->minor_version >= 5));
        // Monitors, outputs and the screen's size are kept until the server reports a change.
        m_randrFirstEvent = randr->first_event;
        xcb_randr_select_input(m_connection, m_root,
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE
                                   | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE
                                   | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    }

    // Root properties tell of activations, launches and desktop switches, the root's structure
    // of a new screen size; the own window's property events carry server times.
    const std::uint32_t rootEvents =
        XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &rootEvents);
    m_ownWindow = xcb_generate_id(m_connection);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(m_connection, 0, m_ownWindow, m_root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    return sync();
}

Connection::~Connection() {
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

int Connection::fileDescriptor() const {
    return xcb_get_file_descriptor(m_connection);
}

bool Connection::isBroken() const {
    return xcb_connection_has_error(m_connection) != 0;
}

bool Connection::sync() {
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return reply != nullptr;
}

std::optional<xcb_timestamp_t> Connection::serverTime(
    const std::function<void(const xcb_generic_event_t&)>& onOtherEvent) {
    if (isBroken()) {
        return std::nullopt;
    }
    // Appending nothing changes nothing but still makes the server report the change, and the
    // report carries its time.
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_ownWindow, m_atoms.vornTimestamp,
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(m_connection);
    for (;;) {
        Reply<xcb_generic_event_t> event(xcb_wait_for_event(m_connection));
        if (!event) {
            return std::nullopt;
        }
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == m_ownWindow && notify->atom == m_atoms.vornTimestamp) {
                return notify->time;
            }
        }
        onOtherEvent(*event);
    }
}

xcb_get_property_cookie_t Connection::getProperty(xcb_window_t window,
                                                  xcb_atom_t property,
                                                  std::uint32_t length) const {
    return xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            length);
}

Reply<xcb_get_property_reply_t> Connection::reply(xcb_get_property_cookie_t cookie) const {
    return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(m_connection, cookie, nullptr));
}

}  // namespace vorn::platform::x11
