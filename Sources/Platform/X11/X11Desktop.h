#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include <xcb/xcb.h>

#include "ClientCache.h"
#include "ClientList.h"
#include "Connection.h"
#include "DesktopEntries.h"
#include "Launcher.h"
#include "Logind.h"
#include "RunLoop.h"
#include "Workspace.h"
#include "WorkspaceEvents.h"
#include "X11Backend.h"

namespace vorn::platform::x11 {

// What the interface implementations share: the connection, the table of applications, the
// desktop entries, the launcher, the session and the event handling. Main thread only.
class X11Desktop {
public:
    // A process that owns managed windows.
    struct Application {
        RunningApplication info;
        // Its windows, in the order they were first managed.
        std::vector<xcb_window_t> windows;
    };

    X11Desktop(RunLoop& runLoop, const X11Options& options);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    RunLoop& runLoop() { return m_runLoop; }
    // The connection while it works; null without a display and once it broke.
    Connection* connection();
    DesktopEntryIndex& entries() { return m_entries; }
    Launcher& launcher() { return m_launcher; }
    LogindSession& logind() { return *m_logind; }
    WorkspaceEvents& events() { return m_events; }
    std::int32_t ownPID() const { return m_ownPID; }

    // The managed windows as the server last reported them. What its events marked as changed
    // is read first; with nothing marked nothing is asked. Null without a window manager's
    // client list or a connection. Valid until the next call.
    //
    // This and the other reads take in first what the server has sent, except inside a
    // callback of the run loop: there the connection's own watch reads the events when they
    // arrive, so the lookups of a listing ask the socket nothing.
    const ClientSnapshot* clients();
    // A managed window of the process in that snapshot; null when it is none (gone, or now
    // another process's).
    const ClientWindow* managedWindow(xcb_window_t window, std::int32_t pid);
    // The monitors and the work areas, read again only after the server reported a change.
    std::optional<Monitors> monitors();
    std::vector<std::uint32_t> workarea();
    // The names of these monitors, asked of the server only once after each change of the
    // monitors; empty names without a connection. Leaves the snapshot of clients() valid.
    std::vector<DisplayNames> monitorNames(std::span<const Monitor> monitors);
    // Makes the next read ask for every part of every window again.
    void forgetClients() { m_clients.invalidate(); }
    // Whether an EWMH window manager runs, as its events last told.
    bool hasWindowManager();
    // The stand-in process that windows of the class without a known process are listed under.
    std::optional<std::int32_t> standInPID(const std::string& classKey) const {
        return m_clients.standInPID(classKey);
    }

    // The applications in the order their first windows appeared. Built again only after
    // windows came or went or an owner or identity changed.
    const std::vector<Application>& applications();
    const Application* application(std::int32_t pid);
    // Grows whenever windows come or go or an owner or identity changes, as of the last read.
    std::uint64_t clientListGeneration() const { return m_clients.identityGeneration(); }
    // Grows whenever anything a window list shows changed, as of the last read.
    std::uint64_t listGeneration() const { return m_clients.listGeneration(); }

    // The time to activate with: the user's time when one was given, else a fresh server time.
    // Never 0, which window managers take as "no time" and refuse.
    std::optional<xcb_timestamp_t> activationTime();
    void setUserTime(xcb_timestamp_t time) { m_userTime = time; }

    // The program asked the window manager for a change: the next read takes in what the server
    // sent, also inside a callback, for the callers that wait for the change to show.
    void expectChanges() { m_changesExpected = true; }
    // The window the program last asked to raise, until the window manager restacks; none
    // before.
    xcb_window_t raiseRequested() const { return m_raiseRequested; }
    void noteRaiseRequested(xcb_window_t window) { m_raiseRequested = window; }

    // Handles what has arrived on the socket.
    void readEvents();
    // Handles events that xcb read while waiting for replies: the socket does not show them,
    // so they would otherwise wait for the next unrelated event.
    void takeQueuedEvents();

private:
    // Reads the socket before a read, where that is needed (see clients()).
    void takeEvents();
    void handle(const xcb_generic_event_t& event);
    void rebuildApplications(const ClientSnapshot& snapshot);

    RunLoop& m_runLoop;
    std::unique_ptr<Connection> m_connection;
    bool m_broken = false;
    std::optional<WatchID> m_watch;
    // Directories of the options' own get an index of their own; the XDG data directories are
    // read into the process's one index, which the sidebar's icon lookup asks too.
    std::unique_ptr<DesktopEntryIndex> m_ownEntries;
    DesktopEntryIndex& m_entries;
    Launcher m_launcher;
    std::unique_ptr<LogindSession> m_logind;
    WorkspaceEvents m_events;
    std::int32_t m_ownPID;

    ClientCache m_clients;
    std::vector<Application> m_applications;
    std::unordered_map<std::int32_t, std::size_t> m_applicationByPID;
    std::optional<std::uint64_t> m_applicationsGeneration;

    bool m_changesExpected = false;
    xcb_window_t m_raiseRequested = XCB_NONE;
    std::optional<xcb_timestamp_t> m_userTime;
    xcb_timestamp_t m_lastServerTime = 0;
};

// Takes the queued events when a public call that waited for replies ends.
class AfterReplies {
public:
    explicit AfterReplies(X11Desktop& desktop)
        : m_desktop(desktop) {}
    ~AfterReplies() { m_desktop.takeQueuedEvents(); }
    AfterReplies(const AfterReplies&) = delete;
    AfterReplies& operator=(const AfterReplies&) = delete;

private:
    X11Desktop& m_desktop;
};

}  // namespace vorn::platform::x11
