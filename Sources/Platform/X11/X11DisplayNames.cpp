#include <algorithm>

#include "X11Parts.h"

namespace vorn::platform::x11 {

std::optional<DisplayNames> X11WindowServer::displayNames(std::uint32_t display) {
    const std::optional<Monitor> found = monitor(display);
    if (!found) {
        return std::nullopt;
    }
    AfterReplies after(m_desktop);
    DisplayNames names = m_desktop.monitorNames({&*found, 1}).front();
    names.monitor.resize(std::min(names.monitor.size(), MonitorNames::maxNameLength));
    return names;
}

}  // namespace vorn::platform::x11
