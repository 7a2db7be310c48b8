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
inline constexpr unsigned wmCheck = 64;
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
    if (property == atoms.netSupportingWmCheck) {
        return root::wmCheck;
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
    std::optional<xcb_get_property_cookie_t> wmCheck;
    // The check window's own property, which must name the check window itself.
    std::optional<xcb_get_property_cookie_t> checkSelf;
};

// The window manager's check window is watched for its end, which is the manager's.
constexpr std::uint32_t watchedCheckEvents =
    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;

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
            if (notify.window == m_wmCheck && m_wmCheck != XCB_NONE) {
                // Window managers also use the window to learn the server's time; only its
                // naming itself matters here.
                if (notify.atom != atoms.netSupportingWmCheck) {
                    return false;
                }
                m_verifyCheck = true;
                m_stale = true;
                return true;
            }
            if (notify.window == connection.root()) {
                const unsigned parts = rootPartOf(notify.atom, atoms);
                m_rootDirty |= parts;
                m_stale = m_stale || parts != 0;
                return parts != 0;
            }
            // A client may also state its process late; user times and icons change often and
            // are of no interest.
            const bool owner =
                notify.atom == atoms.netWmPid || notify.atom == XCB_ATOM_WM_CLIENT_MACHINE;
            const unsigned parts = owner ? ownerPart : partOf(notify.atom, atoms);
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
        case XCB_DESTROY_NOTIFY: {
            // Unmaps are not handled: window managers unmap windows they minimise or leave on
            // another desktop, and those stay listed and keep sending their events. A window
            // that is withdrawn leaves the client list instead.
            const auto& notify = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
            if (notify.window == m_wmCheck && notify.window != XCB_NONE) {
                // The window manager has gone; a new one names its own check window.
                m_wmCheck = XCB_NONE;
                m_wmVerified = false;
                m_rootDirty |= root::wmCheck;
                m_stale = true;
                m_snapshotDirty = true;
                return true;
            }
            if (m_entries.contains(notify.window)) {
                drop(notify.window);
                m_rootDirty |= root::stacking;
                m_stale = true;
                return true;
            }
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
    if (!m_unlisted.empty()
        && std::chrono::steady_clock::now() - m_unlistedSince >= maxAdoptionWait) {
        vornWMLog().notice(
            "x11: windows the window manager does not list, listed without them count=",
            m_unlisted.size());
        m_unlisted.clear();
    }
    noteAvailability();
    return m_available.value_or(false);
}

std::optional<std::int32_t> ClientCache::standInPID(const std::string& classKey) const {
    const auto it = m_standIns.find(classKey);
    if (classKey.empty() || it == m_standIns.end()) {
        return std::nullopt;
    }
    return it->second;
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
    if ((rootParts & root::wmCheck) != 0) {
        rootQuery.wmCheck = c.getProperty(rootWindow, atoms.netSupportingWmCheck, 1);
    }
    if (std::exchange(m_verifyCheck, false) && m_wmCheck != XCB_NONE) {
        // Watched before it is read, so that an end right after the reading is heard of.
        xcb_change_window_attributes(c.raw(), m_wmCheck, XCB_CW_EVENT_MASK, &watchedCheckEvents);
        rootQuery.checkSelf = c.getProperty(m_wmCheck, atoms.netSupportingWmCheck, 1);
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

    bool listsChanged = false;
    if (rootQuery.wmCheck) {
        const xcb_window_t named =
            firstCardinal(viewOf(c.reply(*rootQuery.wmCheck).get())).value_or(XCB_NONE);
        // Also when the id is the same: a new window manager may get the old one's ids.
        m_wmCheck = named;
        m_wmVerified = false;
        // Asked in the next pass: whether the window exists and names itself.
        m_verifyCheck = named != XCB_NONE;
        m_stale = m_stale || m_verifyCheck;
        listsChanged = true;
    }
    if (rootQuery.checkSelf) {
        auto reply = c.reply(*rootQuery.checkSelf);
        m_wmVerified = m_wmCheck != XCB_NONE
                       && firstCardinal(viewOf(reply.get())).value_or(XCB_NONE) == m_wmCheck;
        m_lookForOrphans = m_wmVerified;
        listsChanged = true;
    }
    if (rootQuery.stacking) {
        auto reply = c.reply(*rootQuery.stacking);
        const PropertyView stacking = viewOf(reply.get());
        m_hasStacking = stacking.type == XCB_ATOM_WINDOW && stacking.format == 32;
        m_stackingList = m_hasStacking ? cardinals(stacking) : std::vector<std::uint32_t>{};
        // The property lists bottom to top; the platform's lists go front to back.
        std::reverse(m_stackingList.begin(), m_stackingList.end());
        listsChanged = true;
    }
    if (rootQuery.clients) {
        auto reply = c.reply(*rootQuery.clients);
        const PropertyView clients = viewOf(reply.get());
        m_clientList =
            clients.type == XCB_ATOM_WINDOW ? cardinals(clients) : std::vector<std::uint32_t>{};
        // What the lists name may have come to exist since.
        m_rejected.clear();
        listsChanged = true;
    }
    if (listsChanged) {
        takeLists(c);
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

void ClientCache::takeLists(const Connection& connection) {
    if (m_verifyCheck) {
        // Taken once the next pass has asked about the window manager.
        return;
    }
    m_snapshotDirty = true;
    m_complete = true;
    if (!m_wmVerified) {
        // Without a window manager the lists are what the last one left behind. The next one
        // takes its windows over.
        for (const auto& [id, entry] : m_entries) {
            m_lastListed.insert(id);
        }
        m_stacking.clear();
        m_mappingOrder.clear();
        admit({});
        return;
    }
    // Only windows that both lists name: a window manager may stack a new window before it
    // manages it, and anyone may write either list.
    const std::unordered_set<xcb_window_t> managed(m_clientList.begin(), m_clientList.end());
    std::unordered_set<xcb_window_t> named;
    for (xcb_window_t id : m_stackingList) {
        if (managed.contains(id)) {
            named.insert(id);
        }
    }
    // A new window manager lists nothing at first and then takes over the windows already there
    // one by one; one that quits lets them go one by one. Either way the windows stay mapped.
    std::vector<xcb_window_t> released;
    if (std::exchange(m_lookForOrphans, false)) {
        released = rootWindowsOfClients(connection, named);
        // It may have framed them already, before it lists them.
        released.insert(released.end(), m_lastListed.begin(), m_lastListed.end());
        m_lastListed.clear();
    }
    for (const auto& [id, entry] : m_entries) {
        if (!entry.gone && !named.contains(id)) {
            released.push_back(id);
        }
    }
    if (!released.empty() || !m_unlisted.empty()) {
        awaitUnlisted(connection, std::move(released), named);
    }
    std::unordered_set<xcb_window_t> seen;
    std::vector<xcb_window_t> candidates;
    for (xcb_window_t id : m_stackingList) {
        if (id != XCB_NONE && managed.contains(id) && !m_rejected.contains(id)
            && seen.insert(id).second) {
            candidates.push_back(id);
        }
    }
    // Frontmost first. Windows already known are real; new ids are asked about in batches, each
    // one round trip, until enough are real, the list ends or the checks run out.
    std::vector<xcb_window_t> listed;
    std::size_t next = 0;
    std::size_t checks = 0;
    while (next < candidates.size() && listed.size() < maxListedWindows) {
        std::vector<xcb_window_t> unknown;
        std::vector<xcb_window_t> batch;
        for (; next < candidates.size() && listed.size() + batch.size() < maxListedWindows
               && checks + unknown.size() < maxCheckedIds;
             ++next) {
            batch.push_back(candidates[next]);
            if (!m_entries.contains(candidates[next])) {
                unknown.push_back(candidates[next]);
            }
        }
        if (batch.empty()) {
            break;
        }
        checks += unknown.size();
        const std::unordered_set<xcb_window_t> real = existing(connection, unknown);
        for (xcb_window_t id : batch) {
            if (m_entries.contains(id) || real.contains(id)) {
                listed.push_back(id);
            }
        }
    }
    if (next < candidates.size()) {
        if (listed.size() < maxListedWindows) {
            // The rest was not looked at: what it holds is unknown, so nothing is known missing.
            m_complete = false;
            if (!std::exchange(m_incompleteLogged, true)) {
                vornWMLog().notice(
                    "x11: the window lists name too many ids to check, windows not "
                    "listed until they change checked=",
                    checks, " named=", candidates.size());
            }
        } else if (!std::exchange(m_cutLogged, true)) {
            vornWMLog().notice("x11: too many windows, only the frontmost listed max=",
                               maxListedWindows, " named=", candidates.size());
        }
    } else {
        m_cutLogged = false;
        m_incompleteLogged = false;
    }
    admit(listed);
    for (xcb_window_t id : listed) {
        if (!m_entries.contains(id)) {
            // Watched before anything is read, so that no change after the reading goes
            // unnoticed.
            xcb_change_window_attributes(connection.raw(), id, XCB_CW_EVENT_MASK,
                                         &watchedClientEvents);
            Entry entry;
            entry.window.id = id;
            entry.dirty = everything;
            m_entries.emplace(id, std::move(entry));
            ++m_identityGeneration;
            m_stale = true;
        }
    }
    m_stacking = std::move(listed);
    m_mappingOrder.clear();
    for (xcb_window_t id : m_clientList) {
        if (m_entries.contains(id)) {
            m_mappingOrder.push_back(id);
        }
    }
}

std::unordered_set<xcb_window_t> ClientCache::existing(const Connection& connection,
                                                       const std::vector<xcb_window_t>& ids) {
    // One question each, all sent before any answer is read.
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(ids.size());
    for (xcb_window_t id : ids) {
        cookies.push_back(xcb_get_window_attributes(connection.raw(), id));
    }
    std::unordered_set<xcb_window_t> real;
    std::size_t rejected = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(connection.raw(), cookies[i], nullptr));
        // No window manager manages a window that asked not to be managed.
        if (!attributes || attributes->override_redirect != 0) {
            m_rejected.insert(ids[i]);
            ++rejected;
        } else {
            real.insert(ids[i]);
        }
    }
    if (rejected > 0) {
        if (!std::exchange(m_rejectedLogged, true)) {
            vornWMLog().notice("x11: listed ids that name no manageable window are ignored count=",
                               rejected);
        } else {
            vornWMLog().debug("x11: listed ids ignored count=", rejected);
        }
    }
    return real;
}

std::vector<xcb_window_t> ClientCache::rootWindowsOfClients(
    const Connection& connection, const std::unordered_set<xcb_window_t>& named) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(
        connection.raw(), xcb_query_tree(connection.raw(), connection.root()), nullptr));
    if (!tree) {
        return {};
    }
    // The window manager's frames and its own windows come from the connection that made its
    // check window.
    const std::uint32_t clientBits = ~connection.resourceIdMask();
    const std::uint32_t manager = m_wmCheck & clientBits;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    std::vector<xcb_window_t> found;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if ((children[i] & clientBits) != manager && !named.contains(children[i])) {
            found.push_back(children[i]);
        }
    }
    return found;
}

void ClientCache::awaitUnlisted(const Connection& connection,
                                std::vector<xcb_window_t> ids,
                                const std::unordered_set<xcb_window_t>& named) {
    std::erase_if(m_unlisted, [&](xcb_window_t id) { return named.contains(id); });
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::erase_if(ids,
                  [&](xcb_window_t id) { return named.contains(id) || m_unlisted.contains(id); });
    if (ids.size() > maxCheckedIds) {
        ids.resize(maxCheckedIds);
    }
    const std::vector<xcb_window_t> waiting(m_unlisted.begin(), m_unlisted.end());
    if (ids.empty() && waiting.empty()) {
        return;
    }
    struct Question {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t type;
    };
    xcb_connection_t* c = connection.raw();
    std::vector<Question> questions;
    questions.reserve(ids.size());
    for (xcb_window_t id : ids) {
        questions.push_back({xcb_get_window_attributes(c, id),
                             connection.getProperty(id, connection.atoms().netWmWindowType, 32)});
    }
    std::vector<xcb_get_window_attributes_cookie_t> stillThere;
    stillThere.reserve(waiting.size());
    for (xcb_window_t id : waiting) {
        stillThere.push_back(xcb_get_window_attributes(c, id));
    }
    const bool wasEmpty = m_unlisted.empty();
    bool grew = false;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, questions[i].attributes, nullptr));
        auto type = connection.reply(questions[i].type);
        // What a window manager lists: ordinary application windows that are shown (framed or
        // not), not panels or popups.
        if (attributes && attributes->override_redirect == 0
            && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT
            && attributes->map_state != XCB_MAP_STATE_UNMAPPED
            && layerOf(windowTypeOf(cardinals(viewOf(type.get())), false, connection.atoms()))
                   == 0) {
            grew = m_unlisted.insert(ids[i]).second || grew;
        }
    }
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, stillThere[i], nullptr));
        // Gone, or withdrawn by its client: no window manager lists it. Being framed keeps a
        // window mapped.
        if (!attributes || attributes->map_state == XCB_MAP_STATE_UNMAPPED) {
            m_unlisted.erase(waiting[i]);
        }
    }
    if (grew) {
        m_unlistedSince = std::chrono::steady_clock::now();
    }
    if (wasEmpty != m_unlisted.empty()) {
        m_snapshotDirty = true;
    }
}

void ClientCache::admit(const std::vector<xcb_window_t>& ids) {
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
}

void ClientCache::noteAvailability() {
    // Windows that stay stacked while the client list is empty are what a window manager left.
    const bool leftOver = m_clientList.empty() && !m_stackingList.empty();
    const bool available =
        m_wmVerified && m_hasStacking && !leftOver && m_complete && m_unlisted.empty();
    if (m_available == available) {
        return;
    }
    // At the start only a missing listing is worth a line.
    if (available && !m_available) {
        m_available = available;
        return;
    }
    if (available) {
        vornWMLog().notice("x11: window manager running, windows listed windows=",
                           m_snapshot.windows.size());
    } else if (!m_wmVerified) {
        vornWMLog().notice("x11: no window manager running, windows not listed until one runs");
    } else if (!m_hasStacking) {
        vornWMLog().notice("x11: the window manager keeps no stacking list, windows not listed");
    } else if (leftOver) {
        vornWMLog().notice(
            "x11: the window manager lists no clients while windows are stacked, "
            "windows not listed stacked=",
            m_stackingList.size());
    } else if (!m_unlisted.empty()) {
        vornWMLog().notice(
            "x11: the window manager does not list every mapped window yet, windows not listed "
            "until it does unlisted=",
            m_unlisted.size());
    }
    m_available = available;
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
    std::unordered_map<std::string, std::int32_t> standIns;
    for (xcb_window_t id : m_stacking) {
        const auto it = m_entries.find(id);
        if (it == m_entries.end() || it->second.gone) {
            continue;
        }
        m_snapshotIndex.emplace(id, m_snapshot.windows.size());
        m_snapshot.windows.push_back(it->second.window);
        ClientWindow& window = m_snapshot.windows.back();
        // Only once its owner was asked for: a window just admitted may yet name its process.
        if (!window.pid && (it->second.dirty & (ownerPart | part::identity)) == 0) {
            // Listed under its class, as a process of its own; a class without windows for a
            // while gets a new number when it comes back.
            std::string key = classKey(window.windowClass);
            if (!key.empty()) {
                const auto known = m_standIns.find(key);
                const auto [slot, added] = standIns.try_emplace(std::move(key), 0);
                if (added) {
                    slot->second = known != m_standIns.end() ? known->second : m_nextStandIn++;
                }
                window.pid = slot->second;
            }
        }
    }
    m_standIns = std::move(standIns);
    m_snapshot.mappingOrder = m_mappingOrder;
    m_snapshot.currentDesktop = m_currentDesktop;
    m_snapshot.activeWindow = m_activeWindow;
    m_snapshot.monitors = m_monitors;
}

}  // namespace vorn::platform::x11
