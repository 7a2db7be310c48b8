#include "ClientList.h"

#include <algorithm>
#include <limits>
#include <map>

#include "Log.h"

namespace vorn::platform::x11 {
namespace {

struct WindowCookies {
    xcb_get_property_cookie_t type{};
    xcb_get_property_cookie_t transientFor{};
    xcb_get_property_cookie_t state{};
    xcb_get_property_cookie_t desktop{};
    xcb_get_property_cookie_t opacity{};
    xcb_get_property_cookie_t windowClass{};
    xcb_get_property_cookie_t gtkApplicationID{};
    xcb_get_property_cookie_t kdeDesktopFile{};
    xcb_get_property_cookie_t strutPartial{};
    xcb_get_property_cookie_t strut{};
    std::optional<FrameQuery> frame;
};

bool contains(const std::vector<std::uint32_t>& atoms, xcb_atom_t atom) {
    return atom != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

}  // namespace

WindowType windowTypeOf(std::span<const std::uint32_t> typeAtoms,
                        bool isTransient,
                        const Atoms& a) {
    const std::pair<xcb_atom_t, WindowType> known[] = {
        {a.typeNormal, WindowType::normal},
        {a.typeDialog, WindowType::dialog},
        {a.typeUtility, WindowType::utility},
        {a.typeToolbar, WindowType::toolbar},
        {a.typeMenu, WindowType::menu},
        {a.typeSplash, WindowType::splash},
        {a.typeDock, WindowType::dock},
        {a.typeDesktop, WindowType::desktop},
        {a.typeNotification, WindowType::notification},
        {a.typeDropdownMenu, WindowType::popup},
        {a.typePopupMenu, WindowType::popup},
        {a.typeTooltip, WindowType::popup},
        {a.typeCombo, WindowType::popup},
        {a.typeDnd, WindowType::popup},
    };
    // The list is in order of preference; types this backend does not know are skipped.
    for (std::uint32_t atom : typeAtoms) {
        for (const auto& [candidate, type] : known) {
            if (candidate != XCB_ATOM_NONE && candidate == atom) {
                return type;
            }
        }
    }
    return isTransient ? WindowType::dialog : WindowType::normal;
}

std::int64_t layerOf(WindowType type) {
    switch (type) {
        case WindowType::normal:
        case WindowType::dialog:
            return 0;
        case WindowType::utility:
        case WindowType::toolbar:
        case WindowType::menu:
            return 3;
        case WindowType::dock:
            return 20;
        case WindowType::splash:
            return 21;
        case WindowType::notification:
            return 23;
        case WindowType::popup:
            return 101;
        case WindowType::desktop:
            return -2147483623;
    }
    return 0;
}

const ClientWindow* ClientSnapshot::find(xcb_window_t window) const {
    for (const ClientWindow& client : windows) {
        if (client.id == window) {
            return &client;
        }
    }
    return nullptr;
}

bool ClientSnapshot::isOnScreen(const ClientWindow& window) const {
    if (window.hidden) {
        return false;
    }
    if (!window.desktop || !currentDesktop || *window.desktop == allDesktops) {
        return true;
    }
    return *window.desktop == *currentDesktop;
}

std::optional<std::int32_t> pidFromProperty(const PropertyView& property) {
    const auto value = firstCardinal(property);
    if (!value || *value == 0 || *value > static_cast<std::uint32_t>(INT32_MAX)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

OwnerQuery::OwnerQuery(const Connection& connection, std::span<const xcb_window_t> windows)
    : m_connection(connection)
    , m_windows(windows.begin(), windows.end()) {
    if (connection.hasResourceExtension() && !m_windows.empty()) {
        std::vector<xcb_res_client_id_spec_t> specs;
        specs.reserve(m_windows.size());
        for (xcb_window_t window : m_windows) {
            specs.push_back({window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID});
        }
        m_withResource = true;
        m_resource = xcb_res_query_client_ids(
            connection.raw(), static_cast<std::uint32_t>(specs.size()), specs.data());
        return;
    }
    m_pids.reserve(m_windows.size());
    for (xcb_window_t window : m_windows) {
        m_pids.push_back(connection.getProperty(window, connection.atoms().netWmPid, 1));
    }
}

std::vector<std::optional<std::int32_t>> OwnerQuery::collect() {
    std::vector<std::optional<std::int32_t>> owners(m_windows.size());
    if (m_withResource) {
        // The server answers per client: the reply names each client by its resource-id base.
        std::map<std::uint32_t, std::int32_t> pidByClient;
        Reply<xcb_res_query_client_ids_reply_t> reply(
            xcb_res_query_client_ids_reply(m_connection.raw(), m_resource, nullptr));
        if (reply) {
            for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
                 xcb_res_client_id_value_next(&it)) {
                const xcb_res_client_id_value_t& value = *it.data;
                const auto& [client, length] = value;
                if ((client.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0 || length < 4) {
                    continue;
                }
                const std::uint32_t pid = *xcb_res_client_id_value_value(&value);
                if (pid != 0 && pid <= static_cast<std::uint32_t>(INT32_MAX)) {
                    pidByClient[client.client & ~m_connection.resourceIdMask()] =
                        static_cast<std::int32_t>(pid);
                }
            }
        }
        for (std::size_t i = 0; i < m_windows.size(); ++i) {
            const auto it = pidByClient.find(m_windows[i] & ~m_connection.resourceIdMask());
            if (it != pidByClient.end()) {
                owners[i] = it->second;
            }
        }
        // Remote clients have no local process id; only they cost a second round trip.
        for (std::size_t i = 0; i < m_windows.size(); ++i) {
            m_pids.push_back(owners[i] ? xcb_get_property_cookie_t{}
                                       : m_connection.getProperty(
                                           m_windows[i], m_connection.atoms().netWmPid, 1));
        }
    }
    for (std::size_t i = 0; i < m_windows.size(); ++i) {
        if (!owners[i]) {
            auto property = m_connection.reply(m_pids[i]);
            owners[i] = pidFromProperty(viewOf(property.get()));
        }
    }
    return owners;
}

Rect outerFrame(Point clientOrigin, Size clientSize, std::uint16_t border, const FrameExtents& e) {
    const double b = border;
    return Rect(clientOrigin.x - b - e.left, clientOrigin.y - b - e.top,
                clientSize.width + 2 * b + e.left + e.right,
                clientSize.height + 2 * b + e.top + e.bottom);
}

FrameQuery::FrameQuery(const Connection& connection, xcb_window_t window)
    : m_connection(connection)
    , m_geometry(xcb_get_geometry(connection.raw(), window))
    , m_position(xcb_translate_coordinates(connection.raw(), window, connection.root(), 0, 0))
    , m_extents(connection.getProperty(window, connection.atoms().netFrameExtents, 4)) {}

std::optional<std::pair<Rect, FrameExtents>> FrameQuery::collect() {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection.raw(), m_geometry, nullptr));
    Reply<xcb_translate_coordinates_reply_t> position(
        xcb_translate_coordinates_reply(m_connection.raw(), m_position, nullptr));
    auto extentsReply = m_connection.reply(m_extents);
    if (!geometry || !position) {
        return std::nullopt;
    }
    const FrameExtents extents = frameExtents(viewOf(extentsReply.get())).value_or(FrameExtents{});
    const Rect frame =
        outerFrame({static_cast<double>(position->dst_x), static_cast<double>(position->dst_y)},
                   {static_cast<double>(geometry->width), static_cast<double>(geometry->height)},
                   geometry->border_width, extents);
    return std::make_pair(frame, extents);
}

std::optional<ClientSnapshot> readClients(const Connection& connection, unsigned details) {
    if (connection.isBroken()) {
        return std::nullopt;
    }
    const Atoms& atoms = connection.atoms();
    const xcb_window_t root = connection.root();

    auto stackingCookie = connection.getProperty(root, atoms.netClientListStacking);
    auto mappingCookie = connection.getProperty(root, atoms.netClientList);
    auto desktopCookie = connection.getProperty(root, atoms.netCurrentDesktop, 1);
    auto activeCookie = connection.getProperty(root, atoms.netActiveWindow, 1);
    std::optional<MonitorRequest> monitorRequest;
    if ((details & detail::monitors) != 0) {
        monitorRequest = requestMonitors(connection);
    }

    auto stackingReply = connection.reply(stackingCookie);
    auto mappingReply = connection.reply(mappingCookie);
    auto desktopReply = connection.reply(desktopCookie);
    auto activeReply = connection.reply(activeCookie);

    ClientSnapshot snapshot;
    if (monitorRequest) {
        snapshot.monitors = collectMonitors(connection, *monitorRequest);
    }
    const PropertyView stacking = viewOf(stackingReply.get());
    if (stacking.type != XCB_ATOM_WINDOW || stacking.format != 32) {
        vornWMLog().debug("x11: no client list (no window manager?) type=", stacking.type);
        return std::nullopt;
    }
    // The property lists bottom to top; the platform's lists go front to back.
    std::vector<std::uint32_t> ids = cardinals(stacking);
    std::reverse(ids.begin(), ids.end());
    ids.erase(std::remove(ids.begin(), ids.end(), XCB_NONE), ids.end());
    snapshot.mappingOrder = cardinals(viewOf(mappingReply.get()));
    snapshot.currentDesktop = firstCardinal(viewOf(desktopReply.get()));
    snapshot.activeWindow = firstCardinal(viewOf(activeReply.get())).value_or(XCB_NONE);

    std::optional<OwnerQuery> owners;
    if ((details & detail::owners) != 0) {
        owners.emplace(connection, ids);
    }
    std::vector<WindowCookies> cookies(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const xcb_window_t window = ids[i];
        WindowCookies& c = cookies[i];
        if ((details & detail::frames) != 0) {
            c.frame.emplace(connection, window);
            c.type = connection.getProperty(window, atoms.netWmWindowType, 32);
            c.transientFor = connection.getProperty(window, XCB_ATOM_WM_TRANSIENT_FOR, 1);
            c.state = connection.getProperty(window, atoms.netWmState, 32);
            c.desktop = connection.getProperty(window, atoms.netWmDesktop, 1);
            c.opacity = connection.getProperty(window, atoms.netWmWindowOpacity, 1);
        }
        if ((details & detail::identity) != 0) {
            c.windowClass = connection.getProperty(window, XCB_ATOM_WM_CLASS, 256);
            c.gtkApplicationID = connection.getProperty(window, atoms.gtkApplicationId, 256);
            c.kdeDesktopFile = connection.getProperty(window, atoms.kdeNetWmDesktopFile, 256);
        }
        if ((details & detail::struts) != 0) {
            c.strutPartial = connection.getProperty(window, atoms.netWmStrutPartial, 12);
            c.strut = connection.getProperty(window, atoms.netWmStrut, 4);
        }
    }

    std::vector<std::optional<std::int32_t>> pids;
    if (owners) {
        pids = owners->collect();
    }
    snapshot.windows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ClientWindow window;
        window.id = ids[i];
        if (owners) {
            window.pid = pids[i];
        }
        WindowCookies& c = cookies[i];
        bool gone = false;
        if ((details & detail::frames) != 0) {
            auto frame = c.frame->collect();
            auto type = connection.reply(c.type);
            auto transientFor = connection.reply(c.transientFor);
            auto state = connection.reply(c.state);
            auto desktop = connection.reply(c.desktop);
            auto opacityReply = connection.reply(c.opacity);
            if (!frame) {
                // Destroyed after the list was read.
                gone = true;
            } else {
                window.frame = frame->first;
                window.extents = frame->second;
                const auto typeAtoms = cardinals(viewOf(type.get()));
                const bool transient =
                    firstCardinal(viewOf(transientFor.get())).value_or(XCB_NONE) != XCB_NONE;
                window.type = windowTypeOf(typeAtoms, transient, atoms);
                const auto states = cardinals(viewOf(state.get()));
                window.hidden = contains(states, atoms.stateHidden);
                window.maximized = contains(states, atoms.stateMaximizedVert)
                                   || contains(states, atoms.stateMaximizedHorz);
                window.fullscreen = contains(states, atoms.stateFullscreen);
                window.desktop = firstCardinal(viewOf(desktop.get()));
                window.opacity = opacity(viewOf(opacityReply.get()));
            }
        }
        if ((details & detail::identity) != 0) {
            auto windowClassReply = connection.reply(c.windowClass);
            auto gtk = connection.reply(c.gtkApplicationID);
            auto kde = connection.reply(c.kdeDesktopFile);
            window.windowClass = windowClass(viewOf(windowClassReply.get()));
            window.gtkApplicationID =
                propertyText(viewOf(gtk.get()), atoms.utf8String).value_or("");
            window.kdeDesktopFile = propertyText(viewOf(kde.get()), atoms.utf8String).value_or("");
        }
        if ((details & detail::struts) != 0) {
            auto partial = connection.reply(c.strutPartial);
            auto plain = connection.reply(c.strut);
            window.strut = strutPartial(viewOf(partial.get()));
            if (!window.strut) {
                window.strut = plainStrut(viewOf(plain.get()));
            }
        }
        if (!gone) {
            snapshot.windows.push_back(std::move(window));
        }
    }
    if (connection.isBroken()) {
        return std::nullopt;
    }
    return snapshot;
}

}  // namespace vorn::platform::x11
