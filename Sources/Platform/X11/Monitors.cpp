#include "Monitors.h"

#include <algorithm>

#include "Log.h"

namespace vorn::platform::x11 {

const Monitor* Monitors::find(xcb_atom_t name) const {
    for (const Monitor& monitor : list) {
        if (monitor.name == name) {
            return &monitor;
        }
    }
    return nullptr;
}

Point Monitors::globalOrigin() const {
    return list.empty() ? Point{} : list.front().bounds.origin;
}

MonitorRequest requestMonitors(const Connection& connection) {
    MonitorRequest request;
    request.rootGeometry = xcb_get_geometry(connection.raw(), connection.root());
    if (connection.hasMonitors()) {
        request.withMonitors = true;
        request.monitors = xcb_randr_get_monitors(connection.raw(), connection.root(), 1);
        request.primaryOutput = xcb_randr_get_output_primary(connection.raw(), connection.root());
    }
    return request;
}

std::optional<Monitors> collectMonitors(const Connection& connection,
                                        const MonitorRequest& request) {
    Reply<xcb_get_geometry_reply_t> root(
        xcb_get_geometry_reply(connection.raw(), request.rootGeometry, nullptr));
    Reply<xcb_randr_get_monitors_reply_t> reply;
    xcb_randr_output_t primaryOutput = XCB_NONE;
    if (request.withMonitors) {
        reply.reset(xcb_randr_get_monitors_reply(connection.raw(), request.monitors, nullptr));
        Reply<xcb_randr_get_output_primary_reply_t> primary(
            xcb_randr_get_output_primary_reply(connection.raw(), request.primaryOutput, nullptr));
        if (primary) {
            primaryOutput = primary->output;
        }
    }
    if (!root) {
        return std::nullopt;
    }
    Monitors result;
    result.rootSize = {static_cast<double>(root->width), static_cast<double>(root->height)};
    std::vector<Monitor> monitors;
    if (reply) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t& info = *it.data;
            if (info.width == 0 || info.height == 0) {
                continue;
            }
            Monitor monitor;
            monitor.name = info.name;
            monitor.primary = info.primary != 0;
            monitor.bounds = Rect(info.x, info.y, info.width, info.height);
            const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(&info);
            monitor.outputs.assign(outputs, outputs + xcb_randr_monitor_info_outputs_length(&info));
            monitors.push_back(std::move(monitor));
        }
    }
    if (monitors.empty()) {
        monitors.push_back(Monitor{connection.atoms().wholeScreenMonitor,
                                   true,
                                   Rect(0, 0, result.rootSize.width, result.rootSize.height),
                                   {}});
    }
    result.list = primaryFirst(std::move(monitors), primaryOutput);
    return result;
}

std::vector<Monitor> primaryFirst(std::vector<Monitor> monitors, xcb_randr_output_t primaryOutput) {
    // A monitor a client declared (xrandr --setmonitor) is marked primary only when declared so,
    // even when it shows the primary output.
    const auto showsPrimary = [primaryOutput](const Monitor& m) {
        return primaryOutput != XCB_NONE
               && std::find(m.outputs.begin(), m.outputs.end(), primaryOutput) != m.outputs.end();
    };
    if (std::any_of(monitors.begin(), monitors.end(), showsPrimary)) {
        for (Monitor& monitor : monitors) {
            monitor.primary = showsPrimary(monitor);
        }
    }
    auto primary =
        std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    if (primary != monitors.end()) {
        std::rotate(monitors.begin(), primary, primary + 1);
    }
    return monitors;
}

std::optional<DisplayIdentity> edidIdentity(std::span<const std::uint8_t> edid) {
    constexpr std::uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (edid.size() < 128) {
        return std::nullopt;
    }
    if (!std::equal(std::begin(header), std::end(header), edid.begin())) {
        vornWMLog().debug("x11: EDID ignored: bad header");
        return std::nullopt;
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 128; ++i) {
        sum = static_cast<std::uint8_t>(sum + edid[i]);
    }
    if (sum != 0) {
        vornWMLog().debug("x11: EDID ignored: bad checksum");
        return std::nullopt;
    }
    DisplayIdentity identity;
    // The manufacturer's code is stored big-endian, the product code and serial little-endian.
    identity.vendor = (std::uint32_t{edid[8]} << 8) | edid[9];
    identity.model = std::uint32_t{edid[10]} | (std::uint32_t{edid[11]} << 8);
    identity.serial = std::uint32_t{edid[12]} | (std::uint32_t{edid[13]} << 8)
                      | (std::uint32_t{edid[14]} << 16) | (std::uint32_t{edid[15]} << 24);
    return identity;
}

}  // namespace vorn::platform::x11
