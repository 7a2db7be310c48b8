#pragma once

#include <cstdint>
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
