#include "WindowHints.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <QGuiApplication>
#include <QWidget>

#include "XcbAtoms.h"

namespace vorn::app {

using platform::xcb::internAtoms;

xcb_connection_t* x11Connection() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

void markSkipTaskbarAndPager(QWidget& window) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto atoms = internAtoms(
        connection, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    if (atoms[0] == XCB_ATOM_NONE || atoms[1] == XCB_ATOM_NONE || atoms[2] == XCB_ATOM_NONE) {
        return;
    }
    // Keep what is there: the toolkit merges its own states into this property when it maps
    // the window.
    std::vector<xcb_atom_t> states;
    const auto cookie = xcb_get_property(connection, 0, id, atoms[0], XCB_ATOM_ATOM, 0, 1024);
    if (auto* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            const int count = xcb_get_property_value_length(reply) / 4;
            states.assign(values, values + std::max(count, 0));
        }
        std::free(reply);
    }
    for (const xcb_atom_t state : {atoms[1], atoms[2]}) {
        if (std::find(states.begin(), states.end(), state) == states.end()) {
            states.push_back(state);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[0], XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
    xcb_flush(connection);
}

}  // namespace vorn::app
