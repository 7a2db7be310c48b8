#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
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
//
// The root's lists are written by the window manager, but any client may write them. A window
// is listed only while an EWMH window manager runs (its check window exists and names itself)
// and only when both lists name it; at most maxListedWindows are taken, the frontmost; and an id
// new to the lists is asked about only after the server confirmed, for all new ids in one round
// trip, that it names a window. Lists that name more ids than can be checked leave the listing
// unavailable until they change. A window manager that has just started, or is letting windows
// go as it quits, lists some windows or none although they are still mapped: while such
// top-level windows wait to be listed (at most maxAdoptionWait), there is no listing either.
// Main thread only.
class ClientCache {
public:
    // More windows than this in the lists are not listed (the backmost are left out).
    static constexpr std::size_t maxListedWindows = 2000;
    // New ids asked about at most for one change of the lists; when the lists name more, the
    // listing is unavailable until they change.
    static constexpr std::size_t maxCheckedIds = 4 * maxListedWindows;
    // How long windows that a window manager should list but does not keep the listing
    // unavailable; after that it lists what the window manager does.
    static constexpr std::chrono::seconds maxAdoptionWait{10};

    // Marks what the event changed; true when it concerned anything kept here.
    bool handle(const xcb_generic_event_t& event, const Connection& connection);
    // The managed windows (every marked part read again first); null while no window manager
    // runs, when it keeps no client list, or when the connection broke. Valid until the next
    // call.
    const ClientSnapshot* current(const Connection& connection);
    // The monitors, read again only after the server reported a change.
    std::optional<Monitors> monitors(const Connection& connection);
    // _NET_WORKAREA: x, y, width and height for each desktop.
    std::vector<std::uint32_t> workarea(const Connection& connection);
    // A managed window of the last snapshot; null when it is not one.
    const ClientWindow* window(xcb_window_t id) const;
    // Whether a window manager's check window was last seen to exist and name itself.
    bool hasWindowManager() const { return m_wmVerified; }
    // The stand-in process of windows of this class whose process is unknown; none when no
    // listed window has it.
    std::optional<std::int32_t> standInPID(const std::string& classKey) const;
    // Grows whenever windows come or go or an owner or identity changes.
    std::uint64_t identityGeneration() const { return m_identityGeneration; }
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
    // The windows both lists name, frontmost first and at most maxListedWindows, become the
    // listed ones: new ones get an entry and their events selected.
    void takeLists(const Connection& connection);
    // The ids that name a window that may be managed; the others are remembered as rejected.
    std::unordered_set<xcb_window_t> existing(const Connection& connection,
                                              const std::vector<xcb_window_t>& ids);
    // Drops the entries of windows not among the ids.
    void admit(const std::vector<xcb_window_t>& ids);
    // Adds to the windows waiting to be listed those of the ids that name mapped ordinary
    // application windows, and drops those the lists name or that are gone.
    void awaitUnlisted(const Connection& connection,
                       std::vector<xcb_window_t> ids,
                       const std::unordered_set<xcb_window_t>& named);
    // The children of the root that neither the window manager made nor its lists name.
    std::vector<xcb_window_t> rootWindowsOfClients(const Connection& connection,
                                                   const std::unordered_set<xcb_window_t>& named);
    void noteAvailability();
    void drop(xcb_window_t id);
    void rebuildSnapshot();
    void markWindow(xcb_window_t id, unsigned parts);

    unsigned m_rootDirty = ~0u;
    bool m_stale = true;
    bool m_snapshotDirty = true;

    // The window manager's check window, as the root names it, and whether it names itself.
    xcb_window_t m_wmCheck = XCB_NONE;
    bool m_wmVerified = false;
    bool m_verifyCheck = false;
    // A window manager was just found: the windows it should take over are looked for.
    bool m_lookForOrphans = false;
    // What was listed when the last window manager went away.
    std::unordered_set<xcb_window_t> m_lastListed;
    // Mapped top-level windows that the window manager should list and does not yet; the time
    // the first of them was found.
    std::unordered_set<xcb_window_t> m_unlisted;
    std::chrono::steady_clock::time_point m_unlistedSince;
    // Whether the root's lists are there as window lists, and what they say.
    bool m_hasStacking = false;
    std::vector<xcb_window_t> m_stackingList;  // front to back, as the root says
    std::vector<xcb_window_t> m_clientList;
    // Listed ids that named no window when asked; asked again once the client list changes.
    std::unordered_set<xcb_window_t> m_rejected;
    std::optional<bool> m_available;
    // Whether every window the lists name was looked at.
    bool m_complete = true;
    bool m_cutLogged = false;
    bool m_incompleteLogged = false;
    bool m_rejectedLogged = false;

    // Front to back: the windows that are listed.
    std::vector<xcb_window_t> m_stacking;
    std::vector<xcb_window_t> m_mappingOrder;
    // Windows without a known process are listed under a stand-in process per class, never one
    // the kernel hands out.
    std::unordered_map<std::string, std::int32_t> m_standIns;
    std::int32_t m_nextStandIn = firstStandInPID;
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
