#include "PanelWindowHints.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <xcb/xcb.h>

#include "WindowHints.h"
#include "XcbAtoms.h"

namespace vorn::app {
namespace {

using platform::xcb::internAtoms;

xcb_window_t rootOf(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// Shows the window's desktop when another one is shown; nothing for a window on all desktops.
void showDesktopOf(xcb_connection_t* connection, xcb_window_t window) {
    const auto atoms = internAtoms(connection, {"_NET_WM_DESKTOP", "_NET_CURRENT_DESKTOP"});
    if (atoms[0] == XCB_ATOM_NONE || atoms[1] == XCB_ATOM_NONE) {
        return;
    }
    const xcb_window_t root = rootOf(connection);
    const auto own = xcb_get_property(connection, 0, window, atoms[0], XCB_ATOM_CARDINAL, 0, 1);
    const auto shown = xcb_get_property(connection, 0, root, atoms[1], XCB_ATOM_CARDINAL, 0, 1);
    const auto read = [connection](xcb_get_property_cookie_t cookie) {
        std::optional<std::uint32_t> value;
        if (auto* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
            if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
                value = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            }
            std::free(reply);
        }
        return value;
    };
    const auto desktop = read(own);
    const auto current = read(shown);
    constexpr std::uint32_t allDesktops = 0xFFFFFFFF;
    if (!desktop || !current || *desktop == allDesktops || *desktop == *current) {
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = root;
    message.type = atoms[1];
    message.data.data32[0] = *desktop;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

// Qt keeps each screen's top-left corner in the server's pixels and scales the screen from there.
QRect toServer(const QRect& rect) {
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) {
        return rect;
    }
    const QPoint corner = screen->geometry().topLeft();
    const qreal ratio = screen->devicePixelRatio();
    const QPointF topLeft = QPointF(corner) + QPointF(rect.topLeft() - corner) * ratio;
    return QRect(topLeft.toPoint(), (QSizeF(rect.size()) * ratio).toSize());
}

QPoint fromServer(QPoint pixel) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QPoint corner = screen->geometry().topLeft();
        const qreal ratio = screen->devicePixelRatio();
        if (QRect(corner, (QSizeF(screen->geometry().size()) * ratio).toSize()).contains(pixel)) {
            return (QPointF(corner) + QPointF(pixel - corner) / ratio).toPoint();
        }
    }
    return pixel;
}

}  // namespace

unsigned long activeWindowId() {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return 0;
    }
    const xcb_atom_t atom = internAtoms(connection, {"_NET_ACTIVE_WINDOW"}).front();
    if (atom == XCB_ATOM_NONE) {
        return 0;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto cookie = xcb_get_property(connection, 0, root, atom, XCB_ATOM_WINDOW, 0, 1);
    xcb_window_t active = XCB_WINDOW_NONE;
    if (auto* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        if (reply->format == 32 && reply->type == XCB_ATOM_WINDOW
            && xcb_get_property_value_length(reply) >= 4) {
            active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        }
        std::free(reply);
    }
    return active;
}

void requestActivation(unsigned long window) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr || window == 0) {
        return;
    }
    const xcb_atom_t atom = internAtoms(connection, {"_NET_ACTIVE_WINDOW"}).front();
    if (atom == XCB_ATOM_NONE) {
        return;
    }
    const xcb_window_t root = rootOf(connection);
    showDesktopOf(connection, static_cast<xcb_window_t>(window));
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window);
    message.type = atom;
    message.data.data32[0] = 2;  // source: a pager, acting for the user
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

void showDesktopOf(QWidget& window) {
    if (xcb_connection_t* connection = x11Connection()) {
        showDesktopOf(connection, static_cast<xcb_window_t>(window.winId()));
        xcb_flush(connection);
    }
}

std::optional<QPoint> serverPosition(QWidget& window) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto cookie = xcb_translate_coordinates(connection, id, rootOf(connection), 0, 0);
    auto* reply = xcb_translate_coordinates_reply(connection, cookie, nullptr);
    if (reply == nullptr) {
        return std::nullopt;
    }
    const QPoint at = fromServer({reply->dst_x, reply->dst_y});
    std::free(reply);
    return at;
}

void requestFrame(QWidget& window, const QRect& frame) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        window.setGeometry(frame);
        return;
    }
    // Qt gives its windows static gravity: the window manager takes the position for the
    // window's own, not its frame's.
    const QRect pixels = toServer(frame);
    const std::uint32_t values[] = {static_cast<std::uint32_t>(pixels.x()),
                                    static_cast<std::uint32_t>(pixels.y()),
                                    static_cast<std::uint32_t>(std::max(pixels.width(), 1)),
                                    static_cast<std::uint32_t>(std::max(pixels.height(), 1))};
    xcb_configure_window(connection, static_cast<xcb_window_t>(window.winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                             | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(connection);
}

void reserveBand(QWidget& window, std::optional<QRect> frame, SidebarSide side) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto atoms = internAtoms(connection, {"_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"});
    if (atoms[0] == XCB_ATOM_NONE || atoms[1] == XCB_ATOM_NONE) {
        return;
    }
    if (!frame || frame->isEmpty()) {
        xcb_delete_property(connection, id, atoms[0]);
        xcb_delete_property(connection, id, atoms[1]);
        xcb_flush(connection);
        return;
    }
    const QRect pixels = toServer(*frame);
    std::int64_t rootWidth = 0;
    if (auto* geometry = xcb_get_geometry_reply(
            connection, xcb_get_geometry(connection, rootOf(connection)), nullptr)) {
        rootWidth = geometry->width;
        std::free(geometry);
    }
    const auto cardinal = [](std::int64_t value) {
        return static_cast<std::uint32_t>(std::max<std::int64_t>(value, 0));
    };
    // Left, right, top and bottom, then where each band starts and ends along its edge.
    std::uint32_t values[12] = {};
    const std::size_t edge = side == SidebarSide::left ? 0 : 1;
    values[edge] = side == SidebarSide::left ? cardinal(std::int64_t{pixels.x()} + pixels.width())
                                             : cardinal(rootWidth - pixels.x());
    values[4 + 2 * edge] = cardinal(pixels.y());
    values[5 + 2 * edge] = cardinal(std::int64_t{pixels.y()} + pixels.height() - 1);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[0], XCB_ATOM_CARDINAL, 32, 12,
                        values);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[1], XCB_ATOM_CARDINAL, 32, 4,
                        values);
    xcb_flush(connection);
}

bool compositorActive() {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return false;
    }
    const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
    std::vector<std::string> names;
    for (int screen = 0; screen < screens; ++screen) {
        names.push_back("_NET_WM_CM_S" + std::to_string(screen));
    }
    std::vector<xcb_get_selection_owner_cookie_t> cookies;
    for (const xcb_atom_t atom :
         internAtoms(connection, std::vector<std::string_view>(names.begin(), names.end()))) {
        if (atom == XCB_ATOM_NONE) {
            continue;
        }
        cookies.push_back(xcb_get_selection_owner(connection, atom));
    }
    bool active = false;
    for (const auto& cookie : cookies) {
        if (auto* reply = xcb_get_selection_owner_reply(connection, cookie, nullptr)) {
            active = active || reply->owner != XCB_WINDOW_NONE;
            std::free(reply);
        }
    }
    return active;
}

}  // namespace vorn::app
