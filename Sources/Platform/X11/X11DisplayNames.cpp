#include <string_view>
#include <vector>

#include "X11Parts.h"

namespace vorn::platform::x11 {
namespace {

// Names come from other clients; a longer one is cut rather than carried into keys and logs.
constexpr std::size_t maxNameLength = 255;

std::string boundedName(const char* data, int length) {
    if (data == nullptr || length <= 0) {
        return {};
    }
    return std::string(
        std::string_view(data, static_cast<std::size_t>(length)).substr(0, maxNameLength));
}

}  // namespace

std::optional<DisplayNames> X11WindowServer::displayNames(std::uint32_t display) {
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
    xcb_connection_t* c = connection->raw();
    const auto nameCookie = xcb_get_atom_name(c, monitor->name);
    std::vector<xcb_randr_get_output_info_cookie_t> cookies;
    for (xcb_randr_output_t output : monitor->outputs) {
        cookies.push_back(xcb_randr_get_output_info(c, output, XCB_CURRENT_TIME));
    }

    DisplayNames names;
    Reply<xcb_get_atom_name_reply_t> name(xcb_get_atom_name_reply(c, nameCookie, nullptr));
    if (name) {
        names.monitor = boundedName(xcb_get_atom_name_name(name.get()),
                                    xcb_get_atom_name_name_length(name.get()));
    }
    for (const auto& cookie : cookies) {
        Reply<xcb_randr_get_output_info_reply_t> info(
            xcb_randr_get_output_info_reply(c, cookie, nullptr));
        if (!info) {
            continue;
        }
        const std::string connector =
            boundedName(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                        xcb_randr_get_output_info_name_length(info.get()));
        if (connector.empty()) {
            continue;
        }
        if (!names.connector.empty()) {
            names.connector += '+';
        }
        names.connector += connector;
    }
    return names;
}

}  // namespace vorn::platform::x11
