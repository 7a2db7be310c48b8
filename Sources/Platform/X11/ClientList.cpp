#include "ClientList.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>

#include "DocumentURL.h"
#include "Log.h"
#include "Text.h"

namespace vorn::platform::x11 {
namespace {

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

bool namesThisHost(std::string_view machine) {
    const std::string& host = thisHostName();
    return !host.empty() && machine.size() == host.size()
           && std::equal(machine.begin(), machine.end(), host.begin(), [](char a, char b) {
                  return std::tolower(static_cast<unsigned char>(a))
                         == std::tolower(static_cast<unsigned char>(b));
              });
}

OwnerQuery::Claim OwnerQuery::ask(xcb_window_t window) const {
    return {m_connection.getProperty(window, m_connection.atoms().netWmPid, 1),
            m_connection.getProperty(window, XCB_ATOM_WM_CLIENT_MACHINE, 64)};
}

std::optional<std::int32_t> OwnerQuery::trusted(const Claim& claim) const {
    auto pidReply = m_connection.reply(claim.pid);
    auto machineReply = m_connection.reply(claim.machine);
    const auto pid = pidFromProperty(viewOf(pidReply.get()));
    if (!pid) {
        return std::nullopt;
    }
    const auto machine = propertyText(viewOf(machineReply.get()), m_connection.atoms().utf8String);
    if (!machine || !namesThisHost(*machine)) {
        return std::nullopt;
    }
    // The server names every local client's process, this one's too: a window of another
    // client that claims to be this process's is not.
    if (m_withResource && *pid == static_cast<std::int32_t>(::getpid())) {
        return std::nullopt;
    }
    return pid;
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
    m_claims.reserve(m_windows.size());
    for (xcb_window_t window : m_windows) {
        m_claims.push_back(ask(window));
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
            m_claims.push_back(owners[i] ? Claim{} : ask(m_windows[i]));
        }
    }
    for (std::size_t i = 0; i < m_windows.size(); ++i) {
        if (!owners[i]) {
            owners[i] = trusted(m_claims[i]);
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

Size clientSizeFor(Size outer, const FrameExtents& e) {
    const auto inner = [](double size, double before, double after) {
        const double left = size - before - after;
        return left >= minimumClientSide ? left : size;
    };
    return {inner(outer.width, e.left, e.right), inner(outer.height, e.top, e.bottom)};
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

std::string classKey(const std::optional<WindowClass>& windowClass) {
    if (!windowClass) {
        return {};
    }
    return !windowClass->windowClass.empty() ? windowClass->windowClass : windowClass->instance;
}

unsigned partOf(xcb_atom_t property, const Atoms& atoms) {
    if (property == XCB_ATOM_NONE) {
        return 0;
    }
    if (property == atoms.netWmName || property == XCB_ATOM_WM_NAME) {
        return part::title;
    }
    if (property == atoms.netWmState) {
        return part::state;
    }
    if (property == atoms.netWmDesktop) {
        return part::desktop;
    }
    if (property == atoms.netFrameExtents) {
        return part::geometry;
    }
    if (property == atoms.netWmWindowType || property == XCB_ATOM_WM_TRANSIENT_FOR) {
        return part::type;
    }
    if (property == atoms.netWmWindowOpacity) {
        return part::opacity;
    }
    if (property == XCB_ATOM_WM_CLASS || property == atoms.gtkApplicationId
        || property == atoms.kdeNetWmDesktopFile) {
        return part::identity;
    }
    if (property == atoms.netWmStrut || property == atoms.netWmStrutPartial) {
        return part::strut;
    }
    return 0;
}

WindowQuery::WindowQuery(const Connection& connection, xcb_window_t window, unsigned parts)
    : m_connection(&connection)
    , m_parts(parts) {
    const Atoms& atoms = connection.atoms();
    if ((parts & part::geometry) != 0) {
        m_frame.emplace(connection, window);
    }
    if ((parts & part::type) != 0) {
        m_type = connection.getProperty(window, atoms.netWmWindowType, 32);
        m_transientFor = connection.getProperty(window, XCB_ATOM_WM_TRANSIENT_FOR, 1);
    }
    if ((parts & part::state) != 0) {
        m_state = connection.getProperty(window, atoms.netWmState, 32);
    }
    if ((parts & part::desktop) != 0) {
        m_desktop = connection.getProperty(window, atoms.netWmDesktop, 1);
    }
    if ((parts & part::opacity) != 0) {
        m_opacity = connection.getProperty(window, atoms.netWmWindowOpacity, 1);
    }
    if ((parts & part::identity) != 0) {
        m_windowClass = connection.getProperty(window, XCB_ATOM_WM_CLASS, 256);
        m_gtkApplicationID = connection.getProperty(window, atoms.gtkApplicationId, 256);
        m_kdeDesktopFile = connection.getProperty(window, atoms.kdeNetWmDesktopFile, 256);
    }
    if ((parts & part::strut) != 0) {
        m_strutPartial = connection.getProperty(window, atoms.netWmStrutPartial, 12);
        m_strut = connection.getProperty(window, atoms.netWmStrut, 4);
    }
    if ((parts & part::title) != 0) {
        // In 32-bit units: as much of a title as the saved state keeps.
        constexpr std::uint32_t titleUnits = text::longestKeptText / 4;
        m_netName = connection.getProperty(window, atoms.netWmName, titleUnits);
        m_wmName = connection.getProperty(window, XCB_ATOM_WM_NAME, titleUnits);
    }
}

bool WindowQuery::collect(ClientWindow& window) {
    const Connection& c = *m_connection;
    const Atoms& atoms = c.atoms();
    // Every reply is taken, also after a failure, so that none is left waiting in xcb.
    bool gone = false;
    const auto take = [&](xcb_get_property_cookie_t cookie) {
        auto reply = c.reply(cookie);
        gone = gone || reply == nullptr;
        return reply;
    };
    if (m_frame) {
        if (auto frame = m_frame->collect()) {
            window.frame = frame->first;
            window.extents = frame->second;
        } else {
            gone = true;
        }
    }
    if ((m_parts & part::type) != 0) {
        auto type = take(m_type);
        auto transientFor = take(m_transientFor);
        const bool transient =
            firstCardinal(viewOf(transientFor.get())).value_or(XCB_NONE) != XCB_NONE;
        window.type = windowTypeOf(cardinals(viewOf(type.get())), transient, atoms);
    }
    if ((m_parts & part::state) != 0) {
        const auto states = cardinals(viewOf(take(m_state).get()));
        window.hidden = contains(states, atoms.stateHidden);
        window.maximized = contains(states, atoms.stateMaximizedVert)
                           || contains(states, atoms.stateMaximizedHorz);
        window.fullscreen = contains(states, atoms.stateFullscreen);
    }
    if ((m_parts & part::desktop) != 0) {
        window.desktop = firstCardinal(viewOf(take(m_desktop).get()));
    }
    if ((m_parts & part::opacity) != 0) {
        window.opacity = opacity(viewOf(take(m_opacity).get()));
    }
    if ((m_parts & part::identity) != 0) {
        auto windowClassReply = take(m_windowClass);
        auto gtk = take(m_gtkApplicationID);
        auto kde = take(m_kdeDesktopFile);
        window.windowClass = windowClass(viewOf(windowClassReply.get()));
        window.gtkApplicationID = propertyText(viewOf(gtk.get()), atoms.utf8String).value_or("");
        window.kdeDesktopFile = propertyText(viewOf(kde.get()), atoms.utf8String).value_or("");
    }
    if ((m_parts & part::strut) != 0) {
        auto partial = take(m_strutPartial);
        auto plain = take(m_strut);
        window.strut = strutPartial(viewOf(partial.get()));
        if (!window.strut) {
            window.strut = plainStrut(viewOf(plain.get()));
        }
    }
    if ((m_parts & part::title) != 0) {
        auto netName = take(m_netName);
        auto wmName = take(m_wmName);
        auto title = propertyText(viewOf(netName.get()), atoms.utf8String);
        if (!title || title->empty()) {
            title = propertyText(viewOf(wmName.get()), atoms.utf8String, atoms.compoundText);
        }
        window.title = title.value_or("");
    }
    return !gone;
}

}  // namespace vorn::platform::x11
