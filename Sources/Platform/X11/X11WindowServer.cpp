#include <algorithm>
#include <map>

#include "Log.h"
#include "Properties.h"
#include "X11Parts.h"

namespace vorn::platform::x11 {
namespace {

// What the window server's failures answer with.
constexpr std::int32_t failureCode = 1000;

Value boundsValue(const Rect& r) {
    return Value::dictionary({{std::string(windowkey::boundsX), Value::real(r.origin.x)},
                              {std::string(windowkey::boundsY), Value::real(r.origin.y)},
                              {std::string(windowkey::boundsWidth), Value::real(r.size.width)},
                              {std::string(windowkey::boundsHeight), Value::real(r.size.height)}});
}

Rect toGlobal(const Rect& rootRect, Point origin) {
    return Rect(rootRect.origin.x - origin.x, rootRect.origin.y - origin.y, rootRect.size.width,
                rootRect.size.height);
}

}  // namespace

std::optional<Value> X11WindowServer::copyWindowList(std::uint32_t options,
                                                     std::uint32_t /*relativeToWindow*/) {
    AfterReplies after(m_desktop);
    std::map<std::int32_t, std::string> names;
    for (const auto& app : m_desktop.applications()) {
        if (app.info.localizedName) {
            names.emplace(app.info.pid, *app.info.localizedName);
        }
    }
    const ClientSnapshot* snapshot = m_desktop.clients();
    if (snapshot == nullptr) {
        return std::nullopt;
    }
    const Point origin = snapshot->monitors ? snapshot->monitors->globalOrigin() : Point{};

    Value::Array entries;
    entries.reserve(snapshot->windows.size());
    for (const ClientWindow& window : snapshot->windows) {
        if ((options & windowlist::onScreenOnly) != 0 && !snapshot->isOnScreen(window)) {
            continue;
        }
        if ((options & windowlist::excludeDesktopElements) != 0
            && window.type == WindowType::desktop) {
            continue;
        }
        Value::Dictionary entry{
            {std::string(windowkey::number), Value::integer(window.id)},
            {std::string(windowkey::layer), Value::integer(layerOf(window.type))},
            {std::string(windowkey::alpha), Value::real(window.opacity.value_or(1.0))},
        };
        if (window.pid) {
            entry.emplace(windowkey::ownerPID, Value::integer(*window.pid));
            if (auto name = names.find(*window.pid); name != names.end()) {
                entry.emplace(windowkey::ownerName, Value::string(name->second));
            }
        }
        if (window.frame) {
            entry.emplace(windowkey::bounds, boundsValue(toGlobal(*window.frame, origin)));
        }
        entries.push_back(Value::dictionary(std::move(entry)));
    }
    return Value::array(std::move(entries));
}

std::optional<Monitors> X11WindowServer::monitors() {
    AfterReplies after(m_desktop);
    return m_desktop.monitors();
}

DisplayListReply X11WindowServer::getActiveDisplayList(std::span<std::uint32_t> buffer) {
    const auto found = monitors();
    if (!found) {
        return {failureCode, 0};
    }
    if (buffer.empty()) {
        return {0, static_cast<std::uint32_t>(found->list.size())};
    }
    const std::size_t written = std::min(buffer.size(), found->list.size());
    for (std::size_t i = 0; i < written; ++i) {
        buffer[i] = found->list[i].name;
    }
    return {0, static_cast<std::uint32_t>(written)};
}

std::optional<Rect> X11WindowServer::displayBounds(std::uint32_t display) {
    const auto found = monitors();
    if (!found) {
        return std::nullopt;
    }
    const Monitor* monitor = found->find(display);
    if (monitor == nullptr) {
        return std::nullopt;
    }
    return toGlobal(monitor->bounds, found->globalOrigin());
}

std::optional<std::string> X11WindowServer::displayUUID(std::uint32_t /*display*/) {
    // Displays on X11 have no UUID; their identity comes from the EDID.
    return std::nullopt;
}

std::optional<DisplayIdentity> X11WindowServer::displayIdentity(std::uint32_t display) {
    const auto found = monitors();
    Connection* connection = m_desktop.connection();
    if (!found || connection == nullptr) {
        return std::nullopt;
    }
    const Monitor* monitor = found->find(display);
    if (monitor == nullptr) {
        return std::nullopt;
    }
    AfterReplies after(m_desktop);
    std::vector<xcb_randr_get_output_property_cookie_t> cookies;
    for (xcb_randr_output_t output : monitor->outputs) {
        cookies.push_back(xcb_randr_get_output_property(
            connection->raw(), output, connection->atoms().edid, XCB_ATOM_ANY, 0, 256, 0, 0));
    }
    std::optional<DisplayIdentity> identity;
    for (const auto& cookie : cookies) {
        Reply<xcb_randr_get_output_property_reply_t> reply(
            xcb_randr_get_output_property_reply(connection->raw(), cookie, nullptr));
        if (identity || !reply || reply->format != 8) {
            continue;
        }
        const int length = xcb_randr_get_output_property_data_length(reply.get());
        if (length > 0) {
            identity = edidIdentity({xcb_randr_get_output_property_data(reply.get()),
                                     static_cast<std::size_t>(length)});
        }
    }
    return identity;
}

std::optional<Value> X11WindowServer::copySessionDictionary() {
    return sessionDictionary(m_desktop.logind().read());
}

std::optional<WindowIcon> X11WindowServer::windowIcon(std::uint32_t window, std::uint32_t side) {
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    AfterReplies after(m_desktop);
    const auto reply = connection->reply(
        connection->getProperty(window, connection->atoms().netWmIcon, maxIconPropertyLength));
    IconProperty icon = netWmIcon(viewOf(reply.get()), side);
    if (icon.damaged || (reply && reply->bytes_after > 0)) {
        vornWMLog().notice("x11: window icon damaged or too large, only its whole icons used win=",
                           window, " used=", icon.nearest ? "yes" : "no");
    }
    return std::move(icon.nearest);
}

}  // namespace vorn::platform::x11
