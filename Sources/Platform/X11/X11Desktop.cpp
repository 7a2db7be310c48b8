#include "X11Desktop.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "AppIdentity.h"
#include "Log.h"

#include <unistd.h>

namespace vorn::platform::x11 {

X11Desktop::X11Desktop(RunLoop& runLoop, const X11Options& options)
    : m_runLoop(runLoop)
    , m_connection(Connection::open(options.display))
    , m_ownEntries(options.applicationDirs.empty()
                       ? nullptr
                       : std::make_unique<DesktopEntryIndex>(options.applicationDirs))
    , m_entries(m_ownEntries ? *m_ownEntries : sharedDesktopEntries())
    , m_launcher(runLoop, m_connection ? m_connection->displayName() : options.display)
    , m_logind(options.logindBusAddress.empty() && options.logindSessionPath.empty()
                   ? std::make_unique<LogindSession>()
                   : std::make_unique<LogindSession>(options.logindBusAddress,
                                                     options.logindSessionPath))
    , m_events(*this)
    , m_ownPID(static_cast<std::int32_t>(::getpid())) {
    if (!m_connection) {
        return;
    }
    m_watch = m_runLoop.watchReadable(m_connection->fileDescriptor(), [this] { readEvents(); });
    AfterReplies after(*this);
    m_events.start();
}

X11Desktop::~X11Desktop() {
    if (m_watch) {
        m_runLoop.unwatch(*m_watch);
    }
}

Connection* X11Desktop::connection() {
    if (!m_connection || m_broken) {
        return nullptr;
    }
    if (m_connection->isBroken()) {
        m_broken = true;
        vornWMLog().error("x11: connection to the display lost display=",
                          m_connection->displayName());
        if (m_watch) {
            m_runLoop.unwatch(*m_watch);
            m_watch.reset();
        }
        return nullptr;
    }
    return m_connection.get();
}

const ClientSnapshot* X11Desktop::clients() {
    takeEvents();
    Connection* conn = connection();
    if (conn == nullptr) {
        return nullptr;
    }
    return m_clients.current(*conn);
}

const ClientWindow* X11Desktop::managedWindow(xcb_window_t window, std::int32_t pid) {
    if (clients() == nullptr) {
        return nullptr;
    }
    const ClientWindow* found = m_clients.window(window);
    return found != nullptr && found->pid == pid ? found : nullptr;
}

bool X11Desktop::hasWindowManager() {
    (void)clients();
    return m_connection != nullptr && m_clients.hasWindowManager();
}

std::optional<Monitors> X11Desktop::monitors() {
    takeEvents();
    Connection* conn = connection();
    if (conn == nullptr) {
        return std::nullopt;
    }
    return m_clients.monitors(*conn);
}

std::vector<std::uint32_t> X11Desktop::workarea() {
    takeEvents();
    Connection* conn = connection();
    if (conn == nullptr) {
        return {};
    }
    return m_clients.workarea(*conn);
}

std::vector<DisplayNames> X11Desktop::monitorNames(std::span<const Monitor> monitors) {
    Connection* conn = connection();
    if (conn == nullptr) {
        return std::vector<DisplayNames>(monitors.size());
    }
    return m_clients.monitorNames(*conn, monitors);
}

const std::vector<X11Desktop::Application>& X11Desktop::applications() {
    const ClientSnapshot* snapshot = clients();
    if (snapshot == nullptr) {
        // No window manager keeps a list: no application is known to own a window.
        m_applications.clear();
        m_applicationByPID.clear();
        m_applicationsGeneration.reset();
        return m_applications;
    }
    if (m_applicationsGeneration != m_clients.identityGeneration()) {
        rebuildApplications(*snapshot);
        m_applicationsGeneration = m_clients.identityGeneration();
    }
    return m_applications;
}

const X11Desktop::Application* X11Desktop::application(std::int32_t pid) {
    const std::vector<Application>& all = applications();
    const auto it = m_applicationByPID.find(pid);
    return it == m_applicationByPID.end() ? nullptr : &all[it->second];
}

void X11Desktop::rebuildApplications(const ClientSnapshot& snapshot) {
    m_entries.refresh();
    // Windows that are stacked but not yet in the other list go last.
    std::vector<xcb_window_t> order = snapshot.mappingOrder;
    const std::unordered_set<xcb_window_t> mapped(order.begin(), order.end());
    for (const ClientWindow& window : snapshot.windows) {
        if (!mapped.contains(window.id)) {
            order.push_back(window.id);
        }
    }
    std::vector<Application> applications;
    std::unordered_map<std::int32_t, std::size_t> byPID;
    for (xcb_window_t id : order) {
        const ClientWindow* window = m_clients.window(id);
        if (window == nullptr || !window->pid) {
            continue;
        }
        auto [slot, added] = byPID.try_emplace(*window->pid, applications.size());
        if (added) {
            const AppIdentity identity = identify(*window, m_entries);
            applications.push_back(Application{
                RunningApplication{*window->pid, identity.bundleID, identity.name}, {}});
        }
        applications[slot->second].windows.push_back(id);
    }
    m_applications = std::move(applications);
    m_applicationByPID = std::move(byPID);
}

std::optional<xcb_timestamp_t> X11Desktop::activationTime() {
    if (auto time = std::exchange(m_userTime, std::nullopt); time && *time != XCB_CURRENT_TIME) {
        return time;
    }
    Connection* conn = connection();
    if (conn == nullptr) {
        return std::nullopt;
    }
    auto time = conn->serverTime([this](const xcb_generic_event_t& event) { handle(event); });
    if (time && *time != XCB_CURRENT_TIME) {
        m_lastServerTime = *time;
        return time;
    }
    if (m_lastServerTime != XCB_CURRENT_TIME) {
        return m_lastServerTime;
    }
    return std::nullopt;
}

void X11Desktop::takeEvents() {
    const bool expected = std::exchange(m_changesExpected, false);
    if (expected || !m_runLoop.inCallback()) {
        readEvents();
    }
}

void X11Desktop::readEvents() {
    Connection* conn = connection();
    if (conn == nullptr) {
        return;
    }
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(conn->raw())}) {
        handle(*event);
    }
    // A broken stream shows only after the read; stop watching it at once.
    (void)connection();
}

void X11Desktop::takeQueuedEvents() {
    Connection* conn = connection();
    if (conn == nullptr) {
        return;
    }
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_queued_event(conn->raw())}) {
        handle(*event);
    }
}

void X11Desktop::handle(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7F;
    if (type == 0) {
        const auto& error = reinterpret_cast<const xcb_generic_error_t&>(event);
        // Requests about windows that have just gone fail this way; nothing to do.
        vornWMLog().debug("x11: request failed code=", int{error.error_code},
                          " major=", int{error.major_code});
        return;
    }
    if (m_connection == nullptr) {
        return;
    }
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        m_lastServerTime = notify.time;
        if (notify.window == m_connection->root()) {
            if (notify.atom == m_connection->atoms().netClientListStacking) {
                m_raiseRequested = XCB_NONE;
            }
            m_events.rootPropertyChanged(notify.atom);
        }
    }
    if (m_clients.handle(event, *m_connection)) {
        m_events.windowsChanged();
    }
}

}  // namespace vorn::platform::x11
