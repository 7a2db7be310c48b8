#include "ClientCache.h"

#include <algorithm>
#include <unordered_set>

#include <xcb/randr.h>

#include "Log.h"

namespace vorn::platform::x11 {
namespace {

// What is kept of the root window.
namespace root {
inline constexpr unsigned stacking = 1;
inline constexpr unsigned clients = 2;
inline constexpr unsigned desktop = 4;
inline constexpr unsigned active = 8;
inline constexpr unsigned workarea = 16;
inline constexpr unsigned monitors = 32;
}  // namespace root

// Two more parts of a window besides those of its properties.
constexpr unsigned ownerPart = 1u << 8;
constexpr unsigned framePart = 1u << 9;
constexpr unsigned everything = part::all | ownerPart | framePart;

// A new window takes a pass for its properties and one per level of frames around it; what is
// left after this many is read at the next call.
constexpr int maxPasses = 8;

constexpr std::uint32_t watchedClientEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
constexpr std::uint32_t watchedFrameEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;

unsigned rootPartOf(xcb_atom_t property, const Atoms& atoms) {
    if (property == XCB_ATOM_NONE) {
        return 0;
    }
    if (property == atoms.netClientListStacking) {
        return root::stacking;
    }
    if (property == atoms.netClientList) {
        return root::clients;
    }
    if (property == atoms.netCurrentDesktop) {
        return root::desktop;
    }
    if (property == atoms.netActiveWindow) {
        return root::active;
    }
    if (property == atoms.netWorkarea) {
        return root::workarea;
    }
    return 0;
}

struct RootQuery {
    std::optional<xcb_get_property_cookie_t> stacking;
    std::optional<xcb_get_property_cookie_t> clients;
    std::optional<xcb_get_property_cookie_t> desktop;
    std::optional<xcb_get_property_cookie_t> active;
    std::optional<xcb_get_property_cookie_t> workarea;
    std::optional<MonitorRequest> monitors;
};

struct PendingWindow {
    xcb_window_t id = XCB_NONE;
    unsigned parts = 0;
    std::optional<WindowQuery> query;
    std::optional<xcb_query_tree_cookie_t> tree;
};

}  // namespace

bool ClientCache::handle(const xcb_generic_event_t& event, const Connection& connection) {
    const std::uint8_t type = event.response_type & 0x7F;
    const Atoms& atoms = connection.atoms();
    switch (type) {
        case XCB_PROPERTY_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            if (notify.window == connection.root()) {
                const unsigned parts = rootPartOf(notify.atom, atoms);
                m_rootDirty |= parts;
                m_stale = m_stale || parts != 0;
                return parts != 0;
            }
            // A client may also state its process late; user times and icons change often and
            // are of no interest.
            const unsigned parts =
                notify.atom == atoms.netWmPid ? ownerPart : partOf(notify.atom, atoms);
            if (parts == 0 || !m_entries.contains(notify.window)) {
                return false;
            }
            markWindow(notify.window, parts);
            return true;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (notify.window == connection.root()) {
                m_rootDirty |= root::monitors;
                m_stale = true;
                return true;
            }
            xcb_window_t client = notify.window;
            if (const auto frame = m_clientByFrame.find(notify.window);
                frame != m_clientByFrame.end()) {
                client = frame->second;
            }
            if (!m_entries.contains(client)) {
                return false;
            }
            markWindow(client, part::geometry);
            return true;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
            const auto it = m_entries.find(notify.window);
            if (it == m_entries.end()) {
                return false;
            }
            // Another frame: look for it again.
            m_clientByFrame.erase(it->second.frame);
            it->second.frame = XCB_NONE;
            it->second.climbing = XCB_NONE;
            it->second.frameKnown = false;
            markWindow(notify.window, framePart | part::geometry);
            return true;
        }
        case XCB_UNMAP_NOTIFY:
        case XCB_DESTROY_NOTIFY: {
            // Both events carry the window at the same place.
            const auto& notify = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
            if (m_entries.contains(notify.window)) {
                // What is known of it may be out of date from now on; a window that stays in the
                // client list enters again, read afresh.
                drop(notify.window);
                m_rootDirty |= root::stacking;
                m_stale = true;
                return true;
            }
            if (type == XCB_DESTROY_NOTIFY) {
                if (const auto frame = m_clientByFrame.find(notify.window);
                    frame != m_clientByFrame.end()) {
                    const xcb_window_t client = frame->second;
                    m_clientByFrame.erase(frame);
                    if (const auto it = m_entries.find(client); it != m_entries.end()) {
                        it->second.frame = XCB_NONE;
                        it->second.climbing = XCB_NONE;
                        it->second.frameKnown = false;
                        markWindow(client, framePart | part::geometry);
                        return true;
                    }
                }
            }
            return false;
        }
        default:
            break;
    }
    const std::uint8_t randr = connection.randrFirstEvent();
    if (randr != 0
        && (type == randr + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randr + XCB_RANDR_NOTIFY)) {
        m_rootDirty |= root::monitors;
        m_stale = true;
        return true;
    }
    return false;
}

void ClientCache::markWindow(xcb_window_t id, unsigned parts) {
    m_entries[id].dirty |= parts;
    m_stale = true;
}

const ClientSnapshot* ClientCache::current(const Connection& connection) {
    if (!refresh(connection)) {
        return nullptr;
    }
    return &m_snapshot;
}

std::optional<Monitors> ClientCache::monitors(const Connection& connection) {
    (void)refresh(connection);
    return m_monitors;
}

std::vector<std::uint32_t> ClientCache::workarea(const Connection& connection) {
    (void)refresh(connection);
    return m_workarea;
}

const ClientWindow* ClientCache::window(xcb_window_t id) const {
    const auto it = m_snapshotIndex.find(id);
    return it == m_snapshotIndex.end() ? nullptr : &m_snapshot.windows[it->second];
}

void ClientCache::invalidate() {
    m_rootDirty = ~0u;
    for (auto& [id, entry] : m_entries) {
        entry.dirty |= part::all | ownerPart;
    }
    m_stale = true;
}

bool ClientCache::refresh(const Connection& connection) {
    if (connection.isBroken()) {
        return false;
    }
    for (int pass = 0; m_stale && pass < maxPasses; ++pass) {
        m_stale = false;
        const unsigned rootParts = std::exchange(m_rootDirty, 0u);
        readPass(connection, rootParts);
    }
    if (connection.isBroken()) {
        return false;
    }
    if (m_snapshotDirty) {
        rebuildSnapshot();
    }
    return m_hasList;
}

void ClientCache::readPass(const Connection& c, unsigned rootParts) {
    const Atoms& atoms = c.atoms();
    const xcb_window_t rootWindow = c.root();
    RootQuery rootQuery;
    if ((rootParts & root::stacking) != 0) {
        rootQuery.stacking = c.getProperty(rootWindow, atoms.netClientListStacking);
    }
    if ((rootParts & root::clients) != 0) {
        rootQuery.clients = c.getProperty(rootWindow, atoms.netClientList);
    }
    if ((rootParts & root::desktop) != 0) {
        rootQuery.desktop = c.getProperty(rootWindow, atoms.netCurrentDesktop, 1);
    }
    if ((rootParts & root::active) != 0) {
        rootQuery.active = c.getProperty(rootWindow, atoms.netActiveWindow, 1);
    }
    if ((rootParts & root::workarea) != 0) {
        rootQuery.workarea = c.getProperty(rootWindow, atoms.netWorkarea);
    }
    if ((rootParts & root::monitors) != 0) {
        rootQuery.monitors = requestMonitors(c);
    }

    std::vector<PendingWindow> pending;
    std::vector<xcb_window_t> owners;
    for (auto& [id, entry] : m_entries) {
        unsigned parts = entry.dirty;
        // The frame is read once its moves are watched too, so that none goes unnoticed.
        if (!entry.frameKnown) {
            parts &= ~part::geometry;
        }
        if (parts == 0) {
            continue;
        }
        entry.dirty &= ~parts;
        PendingWindow window{id, parts, std::nullopt, std::nullopt};
        if ((parts & part::all) != 0) {
            window.query.emplace(c, id, parts & part::all);
        }
        if ((parts & framePart) != 0) {
            window.tree = xcb_query_tree(c.raw(), entry.climbing == XCB_NONE ? id : entry.climbing);
        }
        if ((parts & ownerPart) != 0) {
            owners.push_back(id);
        }
        pending.push_back(std::move(window));
    }
    std::optional<OwnerQuery> ownerQuery;
    if (!owners.empty()) {
        ownerQuery.emplace(c, owners);
    }

    for (PendingWindow& window : pending) {
        Entry& entry = m_entries[window.id];
        if (window.query && !window.query->collect(entry.window)) {
            entry.gone = true;
        }
        if ((window.parts & part::identity) != 0) {
            ++m_identityGeneration;
        }
        if (!window.tree) {
            continue;
        }
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c.raw(), *window.tree, nullptr));
        if (!tree) {
            entry.gone = true;
            continue;
        }
        if (tree->parent != XCB_NONE && tree->parent != tree->root) {
            entry.climbing = tree->parent;
            entry.dirty |= framePart;
            m_stale = true;
            continue;
        }
        // The last ancestor below the root is the window manager's frame.
        entry.frame = entry.climbing;
        entry.frameKnown = true;
        if (entry.frame != XCB_NONE) {
            m_clientByFrame[entry.frame] = window.id;
            xcb_change_window_attributes(c.raw(), entry.frame, XCB_CW_EVENT_MASK,
                                         &watchedFrameEvents);
        }
        if ((entry.dirty & part::geometry) != 0) {
            m_stale = true;
        }
    }
    if (ownerQuery) {
        const auto pids = ownerQuery->collect();
        for (std::size_t i = 0; i < owners.size(); ++i) {
            m_entries[owners[i]].window.pid = pids[i];
        }
        ++m_identityGeneration;
    }

    if (rootQuery.stacking) {
        auto reply = c.reply(*rootQuery.stacking);
        const PropertyView stacking = viewOf(reply.get());
        if (stacking.type != XCB_ATOM_WINDOW || stacking.format != 32) {
            if (m_hasList) {
                vornWMLog().notice("x11: no client list (no window manager?) type=", stacking.type);
            }
            m_hasList = false;
            m_stacking.clear();
        } else {
            // The property lists bottom to top; the platform's lists go front to back.
            std::vector<std::uint32_t> ids = cardinals(stacking);
            std::reverse(ids.begin(), ids.end());
            std::unordered_set<xcb_window_t> seen;
            std::erase_if(
                ids, [&](xcb_window_t id) { return id == XCB_NONE || !seen.insert(id).second; });
            m_hasList = true;
            m_stacking = std::move(ids);
        }
        admit(c, m_stacking);
    }
    if (rootQuery.clients) {
        m_mappingOrder = cardinals(viewOf(c.reply(*rootQuery.clients).get()));
    }
    if (rootQuery.desktop) {
        m_currentDesktop = firstCardinal(viewOf(c.reply(*rootQuery.desktop).get()));
    }
    if (rootQuery.active) {
        m_activeWindow = firstCardinal(viewOf(c.reply(*rootQuery.active).get())).value_or(XCB_NONE);
    }
    if (rootQuery.workarea) {
        m_workarea = cardinals(viewOf(c.reply(*rootQuery.workarea).get()));
    }
    if (rootQuery.monitors) {
        m_monitors = collectMonitors(c, *rootQuery.monitors);
    }
    if (rootParts != 0 || !pending.empty()) {
        m_snapshotDirty = true;
    }
}

void ClientCache::admit(const Connection& connection, const std::vector<xcb_window_t>& ids) {
    const std::unordered_set<xcb_window_t> listed(ids.begin(), ids.end());
    std::vector<xcb_window_t> left;
    for (const auto& [id, entry] : m_entries) {
        if (!listed.contains(id)) {
            left.push_back(id);
        }
    }
    for (xcb_window_t id : left) {
        drop(id);
    }
    for (xcb_window_t id : ids) {
        if (m_entries.contains(id)) {
            continue;
        }
        // Watched before anything is read, so that no change after the reading goes unnoticed.
        xcb_change_window_attributes(connection.raw(), id, XCB_CW_EVENT_MASK, &watchedClientEvents);
        Entry entry;
        entry.window.id = id;
        entry.dirty = everything;
        m_entries.emplace(id, std::move(entry));
        ++m_identityGeneration;
        m_stale = true;
    }
}

void ClientCache::drop(xcb_window_t id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end()) {
        return;
    }
    if (it->second.frame != XCB_NONE) {
        m_clientByFrame.erase(it->second.frame);
    }
    m_entries.erase(it);
    ++m_identityGeneration;
    m_snapshotDirty = true;
}

void ClientCache::rebuildSnapshot() {
    m_snapshotDirty = false;
    m_snapshot.windows.clear();
    m_snapshotIndex.clear();
    for (xcb_window_t id : m_stacking) {
        const auto it = m_entries.find(id);
        if (it == m_entries.end() || it->second.gone) {
            continue;
        }
        m_snapshotIndex.emplace(id, m_snapshot.windows.size());
        m_snapshot.windows.push_back(it->second.window);
    }
    m_snapshot.mappingOrder = m_mappingOrder;
    m_snapshot.currentDesktop = m_currentDesktop;
    m_snapshot.activeWindow = m_activeWindow;
    m_snapshot.monitors = m_monitors;
}

}  // namespace vorn::platform::x11
