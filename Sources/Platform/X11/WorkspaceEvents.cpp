#include "WorkspaceEvents.h"

#include <algorithm>

#include "Log.h"
#include "X11Desktop.h"

namespace vorn::platform::x11 {
namespace {

bool runsIn(const std::vector<RunningApplication>& list, std::int32_t pid) {
    return std::any_of(list.begin(), list.end(),
                       [pid](const RunningApplication& app) { return app.pid == pid; });
}

}  // namespace

WorkspaceEvents::WorkspaceEvents(X11Desktop& desktop)
    : m_desktop(desktop) {}

WorkspaceEvents::~WorkspaceEvents() = default;

void WorkspaceEvents::start() {
    std::vector<WorkspaceEvent> ignored;
    refreshClients(ignored);
    refreshActive(ignored);
    refreshDesktop(ignored);
}

Subscription WorkspaceEvents::addObserver(WorkspaceNotification name,
                                          std::function<void(const WorkspaceEvent&)> observer) {
    const std::uint64_t token = m_nextToken++;
    m_observers.emplace(token, Observer{name, std::move(observer)});
    return Subscription([alive = std::weak_ptr<bool>(m_alive), this, token] {
        if (alive.lock()) {
            m_observers.erase(token);
        }
    });
}

void WorkspaceEvents::rootPropertyChanged(xcb_atom_t property) {
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return;
    }
    const Atoms& atoms = connection->atoms();
    if (property == atoms.netClientList) {
        m_clientsChanged = true;
    } else if (property == atoms.netActiveWindow) {
        m_activeChanged = true;
    } else if (property == atoms.netCurrentDesktop) {
        m_desktopChanged = true;
    } else {
        return;
    }
    schedule();
}

void WorkspaceEvents::windowsChanged() {
    m_windowsChanged = true;
    schedule();
}

void WorkspaceEvents::schedule() {
    if (m_scheduled) {
        return;
    }
    m_scheduled = true;
    m_desktop.runLoop().post([alive = std::weak_ptr<bool>(m_alive), this] {
        if (alive.lock()) {
            refresh();
        }
    });
}

void WorkspaceEvents::refresh() {
    m_scheduled = false;
    std::vector<WorkspaceEvent> events;
    {
        AfterReplies after(m_desktop);
        // A window closing can also move the focus; the new owner is judged with the list
        // that no longer has the old one.
        if (std::exchange(m_clientsChanged, false)) {
            refreshClients(events);
        }
        if (std::exchange(m_activeChanged, false)) {
            refreshActive(events);
        }
        if (std::exchange(m_desktopChanged, false)) {
            refreshDesktop(events);
        }
    }
    // Every notification makes its observers read the windows again; one is enough.
    if (std::exchange(m_windowsChanged, false) && events.empty()) {
        events.push_back({WorkspaceNotification::windowsDidChange, std::nullopt, std::nullopt});
    }
    deliver(events);
}

void WorkspaceEvents::refreshClients(std::vector<WorkspaceEvent>& events) {
    std::vector<RunningApplication> now;
    for (const auto& app : m_desktop.applications()) {
        now.push_back(app.info);
    }
    for (const RunningApplication& app : now) {
        if (!runsIn(m_running, app.pid)) {
            events.push_back({WorkspaceNotification::didLaunchApplication, app, std::nullopt});
        }
    }
    for (const RunningApplication& app : m_running) {
        if (!runsIn(now, app.pid)) {
            // Named as it was while it ran.
            events.push_back({WorkspaceNotification::didTerminateApplication, app, std::nullopt});
        }
    }
    m_running = std::move(now);
}

void WorkspaceEvents::refreshActive(std::vector<WorkspaceEvent>& events) {
    const ClientSnapshot* clients = m_desktop.clients();
    const xcb_window_t active = clients != nullptr ? clients->activeWindow : XCB_NONE;
    // Focus moving to no window activates nothing.
    if (active == m_activeWindow || active == XCB_NONE) {
        m_activeWindow = active;
        return;
    }
    std::optional<std::int32_t> owner;
    if (const ClientWindow* window = clients->find(active)) {
        owner = window->pid;
    } else if (Connection* connection = m_desktop.connection()) {
        const xcb_window_t windows[] = {active};
        owner = OwnerQuery(*connection, windows).collect().front();
    }
    if (!owner) {
        return;
    }
    m_activeWindow = active;
    std::optional<RunningApplication> app;
    if (const auto* known = m_desktop.application(*owner)) {
        app = known->info;
    } else {
        app = RunningApplication{*owner, std::nullopt, std::nullopt};
    }
    events.push_back({WorkspaceNotification::didActivateApplication, app, active});
}

void WorkspaceEvents::refreshDesktop(std::vector<WorkspaceEvent>& events) {
    const ClientSnapshot* clients = m_desktop.clients();
    const auto desktop = clients != nullptr ? clients->currentDesktop : std::nullopt;
    if (desktop && m_currentDesktop && desktop != m_currentDesktop) {
        events.push_back({WorkspaceNotification::activeSpaceDidChange, std::nullopt, std::nullopt});
    }
    if (desktop) {
        m_currentDesktop = desktop;
    }
}

void WorkspaceEvents::deliver(const std::vector<WorkspaceEvent>& events) {
    const std::weak_ptr<bool> alive = m_alive;
    for (const WorkspaceEvent& event : events) {
        vornWMLog().debug("x11: workspace ", notificationName(event.name),
                          " pid=", event.application ? event.application->pid : -1,
                          " win=", event.window.value_or(0));
        std::vector<std::uint64_t> tokens;
        for (const auto& [token, observer] : m_observers) {
            if (observer.name == event.name) {
                tokens.push_back(token);
            }
        }
        for (std::uint64_t token : tokens) {
            // An observer may remove others, or drop the whole backend.
            if (!alive.lock()) {
                return;
            }
            auto it = m_observers.find(token);
            if (it == m_observers.end()) {
                continue;
            }
            auto callback = it->second.callback;
            callback(event);
        }
    }
}

}  // namespace vorn::platform::x11
