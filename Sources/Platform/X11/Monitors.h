#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include "Connection.h"
#include "Geometry.h"
#include "Properties.h"
#include "WindowServer.h"

namespace vorn::platform::x11 {

// One RandR monitor. Its display number is the atom of its name, which every client of the
// server sees alike, so the application's screens can use the same numbers.
struct Monitor {
    xcb_atom_t name = XCB_ATOM_NONE;
    bool primary = false;
    Rect bounds;  // root coordinates, top-left origin
    std::vector<xcb_randr_output_t> outputs;

    friend bool operator==(const Monitor&, const Monitor&) = default;
};

struct Monitors {
    // The primary monitor first (see primaryFirst), then the others in the server's order.
    std::vector<Monitor> list;
    Size rootSize;

    const Monitor* find(xcb_atom_t name) const;
    // Root coordinates of the primary monitor's top-left corner: the origin of the global
    // coordinates the platform interfaces use. The root's origin without monitors.
    Point globalOrigin() const;
};

// What the monitors are called: each monitor's name and its outputs' connector names, asked of
// the server once and kept until forgotten. The owner forgets them when the server reports a
// change of the monitors, which is when a name can come to mean another monitor.
class MonitorNames {
public:
    // Names come from other clients. A connector's longer name is cut here, a monitor's where it
    // becomes a key, rather than carried whole into keys and logs.
    static constexpr std::size_t maxNameLength = 255;

    // The names of the monitors, in their order. Only those not known yet are asked for, all in
    // one round trip; a monitor whose answers did not all come is asked again next time.
    std::vector<DisplayNames> of(const Connection& connection, std::span<const Monitor> monitors);
    void forget() { m_known.clear(); }

private:
    std::map<xcb_atom_t, DisplayNames> m_known;
};

// Sent first and collected later, so the question shares a round trip with others.
struct MonitorRequest {
    bool withMonitors = false;
    xcb_randr_get_monitors_cookie_t monitors{};
    xcb_randr_get_output_primary_cookie_t primaryOutput{};
    xcb_get_geometry_cookie_t rootGeometry{};
};
MonitorRequest requestMonitors(const Connection& connection);
// The active monitors; without RandR monitors, the whole screen as one under the atom
// "default". No value when even the root cannot be read.
std::optional<Monitors> collectMonitors(const Connection& connection,
                                        const MonitorRequest& request);

// Puts the primary monitor first and keeps the others' order. The primary one is the monitor
// that shows the primary output, as display settings and toolkits call it; when none shows it,
// the one the server marks (a monitor a client declared primary), else the first.
std::vector<Monitor> primaryFirst(std::vector<Monitor> monitors,
                                  xcb_randr_output_t primaryOutput = XCB_NONE);

// Vendor, model and serial numbers of an EDID block; no value for anything that is not a valid
// one (header, length, checksum).
std::optional<DisplayIdentity> edidIdentity(std::span<const std::uint8_t> edid);

}  // namespace vorn::platform::x11
