#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <xcb/xcb.h>

#include "Workspace.h"

namespace vorn::platform::x11 {

class X11Desktop;

// Turns the server's events into workspace notifications: a new _NET_ACTIVE_WINDOW is an
// activation (with that window, also between two windows of one process), processes appearing
// in or leaving _NET_CLIENT_LIST are launches and terminations, _NET_CURRENT_DESKTOP is a change
// of the active space, and any other change of what a window list shows is "windows changed".
// Events only mark what changed; one refresh on the run loop then reads the new state and
// delivers, on the main thread, so a burst of events gives one delivery, and "windows changed"
// only when nothing more particular was delivered. Main thread only.
class WorkspaceEvents {
public:
    explicit WorkspaceEvents(X11Desktop& desktop);
    ~WorkspaceEvents();
    WorkspaceEvents(const WorkspaceEvents&) = delete;
    WorkspaceEvents& operator=(const WorkspaceEvents&) = delete;

    // Reads the state that later changes are measured against.
    void start();
    [[nodiscard]] Subscription addObserver(WorkspaceNotification name,
                                           std::function<void(const WorkspaceEvent&)> observer);
    // A property of the root window changed.
    void rootPropertyChanged(xcb_atom_t property);
    // Something a window list shows changed.
    void windowsChanged();

private:
    struct Observer {
        WorkspaceNotification name;
        std::function<void(const WorkspaceEvent&)> callback;
    };

    void schedule();
    void refresh();
    void refreshClients(std::vector<WorkspaceEvent>& events);
    void refreshActive(std::vector<WorkspaceEvent>& events);
    void refreshDesktop(std::vector<WorkspaceEvent>& events);
    void deliver(const std::vector<WorkspaceEvent>& events);

    X11Desktop& m_desktop;
    std::map<std::uint64_t, Observer> m_observers;
    std::uint64_t m_nextToken = 1;

    bool m_clientsChanged = false;
    bool m_activeChanged = false;
    bool m_desktopChanged = false;
    bool m_windowsChanged = false;
    bool m_scheduled = false;

    // The processes with windows as last seen, in order of appearance, with what they were.
    std::vector<RunningApplication> m_running;
    xcb_window_t m_activeWindow = XCB_NONE;
    std::optional<std::uint32_t> m_currentDesktop;

    // Tasks already posted and subscriptions hold this weakly and do nothing once it is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace vorn::platform::x11
