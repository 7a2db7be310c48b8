#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include <xcb/xcb.h>

#include "ClientList.h"
#include "Connection.h"
#include "Monitors.h"

namespace vorn::platform::x11 {

// What a listing reads, kept as the server last reported it: the root window's client lists,
// active window, current desktop and work area, the monitors, and for each managed window its
// owner, title, type, state, desktop, frame, identity and struts. The cache watches all of it by
// events (property and structure changes on the root, on every managed window and on its
// frame); an event only marks what it changed. A read then asks the server for exactly what was
// marked, every request first and every reply after, and asks nothing when nothing was marked.
// Main thread only.
class ClientCache {
public:
    // Marks what the event changed; true when it concerned anything kept here.
    bool handle(const xcb_generic_event_t& event, const Connection& connection);
    // The managed windows (every marked part read again first); null when the window manager
    // keeps no client list or the connection broke. Valid until the next call.
    const ClientSnapshot* current(const Connection& connection);
    // The monitors, read again only after the server reported a change.
    std::optional<Monitors> monitors(const Connection& connection);
    // _NET_WORKAREA: x, y, width and height for each desktop.
    std::vector<std::uint32_t> workarea(const Connection& connection);
    // A managed window of the last snapshot; null when it is not one.
    const ClientWindow* window(xcb_window_t id) const;
    // Grows whenever windows come or go or an owner or identity changes.
    std::uint64_t identityGeneration() const { return m_identityGeneration; }
    // Whether something was marked and not yet read.
    bool isStale() const { return m_stale; }
    // Forgets everything: the next read asks for all of it again.
    void invalidate();

private:
    struct Entry {
        ClientWindow window;
        // Parts to read, with owner and frame as two more bits.
        unsigned dirty = 0;
        // The ancestor asked about while the frame is searched; the frame once found (none
        // when the window is a child of the root itself).
        xcb_window_t climbing = XCB_NONE;
        xcb_window_t frame = XCB_NONE;
        bool frameKnown = false;
        // A question about it failed: it is gone, and stays out of the listing.
        bool gone = false;
    };

    bool refresh(const Connection& connection);
    // Asks for the marked parts of the root and of every window together, then reads the
    // answers; windows new in the client list are read in the next pass.
    void readPass(const Connection& connection, unsigned rootParts);
    // Where window ids enter: ids of the client list get an entry and their events selected.
    void admit(const Connection& connection, const std::vector<xcb_window_t>& ids);
    void drop(xcb_window_t id);
    void rebuildSnapshot();
    void markWindow(xcb_window_t id, unsigned parts);

    unsigned m_rootDirty = ~0u;
    bool m_stale = true;
    bool m_snapshotDirty = true;
    bool m_hasList = false;

    // Front to back.
    std::vector<xcb_window_t> m_stacking;
    std::vector<xcb_window_t> m_mappingOrder;
    std::optional<std::uint32_t> m_currentDesktop;
    xcb_window_t m_activeWindow = XCB_NONE;
    std::vector<std::uint32_t> m_workarea;
    std::optional<Monitors> m_monitors;

    std::unordered_map<xcb_window_t, Entry> m_entries;
    std::unordered_map<xcb_window_t, xcb_window_t> m_clientByFrame;
    std::uint64_t m_identityGeneration = 0;
    ClientSnapshot m_snapshot;
    std::unordered_map<xcb_window_t, std::size_t> m_snapshotIndex;
};

}  // namespace vorn::platform::x11
