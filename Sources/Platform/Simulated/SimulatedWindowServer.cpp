#include <algorithm>
#include <sstream>

#include "SimulatedParts.h"

namespace vorn::platform::sim {

std::optional<Value> SimulatedWindowServer::copyWindowList(std::uint32_t options,
                                                           std::uint32_t relativeToWindow) {
    std::ostringstream line;
    line << "windowList options=0x" << std::hex << options;
    if (relativeToWindow != 0) {
        line << " relativeTo=" << std::dec << relativeToWindow;
    }
    m_desktop.record(line.str());
    Value list = m_desktop.windowList(options);
    if (m_desktop.windowListHook) {
        return m_desktop.windowListHook(options, std::move(list));
    }
    return list;
}

DisplayListReply SimulatedWindowServer::getActiveDisplayList(std::span<std::uint32_t> buffer) {
    m_desktop.record("displayList capacity=" + std::to_string(buffer.size()));
    std::vector<std::uint32_t> displays;
    if (!m_desktop.displayListAnswers.empty()) {
        DisplayListAnswer answer = std::move(m_desktop.displayListAnswers.front());
        m_desktop.displayListAnswers.pop_front();
        if (answer.error != 0) {
            return {answer.error, 0};
        }
        displays = std::move(answer.displays);
    } else {
        // Displays are listed whether or not they carry a screen.
        displays = m_desktop.displayIDs();
    }
    if (buffer.empty()) {
        return {0, static_cast<std::uint32_t>(displays.size())};
    }
    const std::size_t written = std::min(buffer.size(), displays.size());
    std::copy_n(displays.begin(), written, buffer.begin());
    return {0, static_cast<std::uint32_t>(written)};
}

std::optional<Rect> SimulatedWindowServer::displayBounds(std::uint32_t display) {
    m_desktop.record("displayBounds " + std::to_string(display));
    if (const SimDisplay* d = m_desktop.display(display)) {
        return d->bounds;
    }
    return std::nullopt;
}

std::optional<std::string> SimulatedWindowServer::displayUUID(std::uint32_t display) {
    m_desktop.record("displayUUID " + std::to_string(display));
    if (const SimDisplay* d = m_desktop.display(display)) {
        return d->uuid;
    }
    return std::nullopt;
}

std::optional<DisplayIdentity> SimulatedWindowServer::displayIdentity(std::uint32_t display) {
    m_desktop.record("displayIdentity " + std::to_string(display));
    if (const SimDisplay* d = m_desktop.display(display)) {
        return d->identity;
    }
    return std::nullopt;
}

std::optional<DisplayNames> SimulatedWindowServer::displayNames(std::uint32_t display) {
    m_desktop.record("displayNames " + std::to_string(display));
    if (const SimDisplay* d = m_desktop.display(display)) {
        return d->names;
    }
    return std::nullopt;
}

std::optional<Value> SimulatedWindowServer::copySessionDictionary() {
    m_desktop.record("sessionDictionary");
    return m_desktop.sessionDictionary;
}

std::optional<std::string> SimulatedWindowServer::sessionIdentity() {
    m_desktop.record("sessionIdentity");
    return m_desktop.sessionIdentity;
}

std::optional<WindowIcon> SimulatedWindowServer::windowIcon(std::uint32_t window,
                                                            std::uint32_t side) {
    m_desktop.record("windowIcon " + std::to_string(window));
    const SimWindow* found = m_desktop.window(window);
    if (found == nullptr || found->icons.empty()) {
        return std::nullopt;
    }
    const auto longer = [](const WindowIcon& icon) { return std::max(icon.width, icon.height); };
    const WindowIcon* nearest = &found->icons.front();
    for (const WindowIcon& icon : found->icons) {
        if (isNearerIconSide(longer(icon), longer(*nearest), side)) {
            nearest = &icon;
        }
    }
    return *nearest;
}

}  // namespace vorn::platform::sim
