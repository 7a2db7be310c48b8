#include "SimulatedDesktop.h"

#include <algorithm>

#include "SimulatedParts.h"

namespace vorn::platform::sim {

SimulatedDesktop::SimulatedDesktop()
    : m_runLoop(m_clock)
    , m_parts(std::make_unique<Parts>(*this)) {
    setSession(false, true);
    m_runLoop.setRecorder([this](const std::string& line) { record(line); });
}

SimulatedDesktop::~SimulatedDesktop() = default;

Services SimulatedDesktop::services() {
    return Services{
        m_parts->windowServer, m_parts->accessibility, m_parts->workspace, m_parts->screens,
        m_parts->loader,       m_parts->process,       m_runLoop};
}

SimApplication& SimulatedDesktop::addApplication(SimApplication app) {
    const std::int32_t pid = app.pid;
    if (app.bundleId && app.applicationURL) {
        installedApplications[*app.bundleId] = *app.applicationURL;
    }
    if (std::find(m_appOrder.begin(), m_appOrder.end(), pid) == m_appOrder.end()) {
        m_appOrder.push_back(pid);
    }
    if (!app.launchDate) {
        app.launchDate = Date::now();
    }
    auto& stored = m_apps[pid];
    stored = std::move(app);
    return stored;
}

SimWindow& SimulatedDesktop::addWindow(SimWindow window) {
    const std::uint32_t number = window.number;
    std::erase(m_stack, number);
    m_stack.insert(m_stack.begin(), number);
    if (auto* owner = application(window.owner)) {
        owner->focusedWindow = number;
    }
    auto& stored = m_windows[number];
    stored = std::move(window);
    return stored;
}

SimDisplay& SimulatedDesktop::addDisplay(SimDisplay display) {
    return m_displays.emplace_back(std::move(display));
}

SimApplication* SimulatedDesktop::application(std::int32_t pid) {
    auto it = m_apps.find(pid);
    return it == m_apps.end() ? nullptr : &it->second;
}

SimWindow* SimulatedDesktop::window(std::uint32_t number) {
    auto it = m_windows.find(number);
    return it == m_windows.end() ? nullptr : &it->second;
}

SimDisplay* SimulatedDesktop::display(std::uint32_t id) {
    for (auto& d : m_displays) {
        if (d.id == id) {
            return &d;
        }
    }
    return nullptr;
}

void SimulatedDesktop::removeDisplay(std::uint32_t id) {
    std::erase_if(m_displays, [id](const SimDisplay& d) { return d.id == id; });
}

void SimulatedDesktop::closeWindow(std::uint32_t number) {
    auto it = m_windows.find(number);
    if (it == m_windows.end()) {
        return;
    }
    const std::int32_t owner = it->second.owner;
    m_windows.erase(it);
    std::erase(m_stack, number);
    if (auto* app = application(owner); app && app->focusedWindow == number) {
        app->focusedWindow.reset();
        for (std::uint32_t n : m_stack) {
            if (m_windows.at(n).owner == owner) {
                app->focusedWindow = n;
                break;
            }
        }
    }
}

SimApplication& SimulatedDesktop::launchApplication(SimApplication app) {
    const std::int32_t pid = app.pid;
    auto& stored = addApplication(std::move(app));
    notify(WorkspaceNotification::didLaunchApplication, pid);
    return stored;
}

void SimulatedDesktop::terminateApplication(std::int32_t pid) {
    if (application(pid) == nullptr) {
        return;
    }
    std::vector<std::uint32_t> owned;
    for (const auto& [number, w] : m_windows) {
        if (w.owner == pid) {
            owned.push_back(number);
        }
    }
    for (std::uint32_t number : owned) {
        closeWindow(number);
    }
    // The announcement still names the application, as it was when it quit.
    notify(WorkspaceNotification::didTerminateApplication, pid);
    m_apps.erase(pid);
    std::erase(m_appOrder, pid);
    if (m_frontmost == pid) {
        m_frontmost.reset();
    }
}

void SimulatedDesktop::activateApplication(std::int32_t pid, std::optional<std::uint32_t> window) {
    auto* app = application(pid);
    if (app == nullptr) {
        return;
    }
    m_frontmost = pid;
    std::optional<std::uint32_t> target = window ? window : app->focusedWindow;
    if (target) {
        if (const auto* w = this->window(*target); w && w->owner == pid) {
            raiseWindow(*target);
        }
    }
    notify(WorkspaceNotification::didActivateApplication, pid);
}

void SimulatedDesktop::switchDesktop() {
    notify(WorkspaceNotification::activeSpaceDidChange, std::nullopt);
}

void SimulatedDesktop::raiseWindow(std::uint32_t number) {
    auto* w = window(number);
    if (w == nullptr) {
        return;
    }
    std::erase(m_stack, number);
    m_stack.insert(m_stack.begin(), number);
    if (auto* app = application(w->owner)) {
        app->focusedWindow = number;
    }
}

Element SimulatedDesktop::windowElement(std::uint32_t number) {
    const SimWindow* w = window(number);
    if (w == nullptr) {
        return nullptr;
    }
    auto element = std::make_shared<SimElement>();
    element->kind = SimElement::Kind::window;
    element->pid = w->owner;
    element->window = number;
    return element;
}

void SimulatedDesktop::setSession(bool locked, bool onConsole) {
    Value::Dictionary entries;
    if (locked) {
        entries.emplace(sessionkey::screenIsLocked, Value::boolean(true));
    }
    entries.emplace(sessionkey::onConsole, Value::boolean(onConsole));
    sessionDictionary = Value::dictionary(std::move(entries));
}

std::vector<std::string> SimulatedDesktop::callsStartingWith(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& call : m_calls) {
        if (call.starts_with(prefix)) {
            found.push_back(call);
        }
    }
    return found;
}

std::size_t SimulatedDesktop::countCalls(std::string_view prefix) const {
    return static_cast<std::size_t>(
        std::count_if(m_calls.begin(), m_calls.end(),
                      [&](const std::string& c) { return c.starts_with(prefix); }));
}

void SimulatedDesktop::clearCalls() {
    m_calls.clear();
}

void SimulatedDesktop::record(std::string call) {
    m_calls.push_back(std::move(call));
}

void SimulatedDesktop::notify(WorkspaceNotification name,
                              std::optional<std::int32_t> pid,
                              std::optional<std::uint32_t> window) {
    WorkspaceEvent event{name, pid ? runningApplication(*pid) : std::nullopt, window};
    m_parts->workspace.deliver(event);
}

std::optional<RunningApplication> SimulatedDesktop::runningApplication(std::int32_t pid) const {
    auto it = m_apps.find(pid);
    if (it == m_apps.end()) {
        return std::nullopt;
    }
    return RunningApplication{pid, it->second.bundleId, it->second.name};
}

std::vector<std::uint32_t> SimulatedDesktop::accessibleWindows(std::int32_t pid) const {
    std::vector<std::uint32_t> found;
    for (std::uint32_t number : m_stack) {
        const SimWindow& w = m_windows.at(number);
        if (w.owner == pid && w.accessible) {
            found.push_back(number);
        }
    }
    return found;
}

Value SimulatedDesktop::windowList(std::uint32_t options) const {
    Value::Array entries;
    for (std::uint32_t number : m_stack) {
        const SimWindow& w = m_windows.at(number);
        if ((options & windowlist::onScreenOnly) != 0 && (w.minimized || w.onOtherDesktop)) {
            continue;
        }
        if ((options & windowlist::excludeDesktopElements) != 0 && w.desktopElement) {
            continue;
        }
        Value::Dictionary entry{
            {std::string(windowkey::number), Value::integer(w.number)},
            {std::string(windowkey::ownerPID), Value::integer(w.owner)},
            {std::string(windowkey::layer), Value::integer(w.layer)},
            {std::string(windowkey::bounds),
             Value::dictionary(
                 {{std::string(windowkey::boundsX), Value::real(w.frame.origin.x)},
                  {std::string(windowkey::boundsY), Value::real(w.frame.origin.y)},
                  {std::string(windowkey::boundsWidth), Value::real(w.frame.size.width)},
                  {std::string(windowkey::boundsHeight), Value::real(w.frame.size.height)}})},
        };
        if (w.alpha) {
            entry.emplace(windowkey::alpha, Value::real(*w.alpha));
        }
        if (auto it = m_apps.find(w.owner); it != m_apps.end() && it->second.name) {
            entry.emplace(windowkey::ownerName, Value::string(*it->second.name));
        }
        entries.push_back(Value::dictionary(std::move(entry)));
    }
    return Value::array(std::move(entries));
}

std::vector<Screen> SimulatedDesktop::screens() const {
    std::vector<Screen> result;
    if (m_displays.empty()) {
        return result;
    }
    // Bottom-left coordinates put the origin at the bottom of the primary display.
    const double primaryTop = m_displays.front().bounds.maxY();
    for (const SimDisplay& d : m_displays) {
        if (!d.hasScreen) {
            continue;
        }
        const Rect& b = d.bounds;
        const Rect frame(b.origin.x, primaryTop - (b.origin.y + b.size.height), b.size.width,
                         b.size.height);
        const Rect visible(frame.origin.x, frame.origin.y + d.dockHeight, frame.size.width,
                           frame.size.height - d.menuBarHeight - d.dockHeight);
        Value description = d.deviceDescription.value_or(
            Value::dictionary({{std::string(screenkey::screenNumber), Value::integer(d.id)}}));
        result.push_back(Screen{std::move(description), frame, visible, d.name});
    }
    return result;
}

std::vector<std::uint32_t> SimulatedDesktop::displayIDs() const {
    std::vector<std::uint32_t> ids;
    for (const SimDisplay& d : m_displays) {
        ids.push_back(d.id);
    }
    return ids;
}

AXStatus SimulatedDesktop::writeFrameAttribute(SimWindow& window,
                                               std::string_view attribute,
                                               const Value& value) {
    const bool isPosition = attribute == ax::position;
    if ((isPosition && !value.asPoint()) || (!isPosition && !value.asSize())) {
        return AXStatus::illegalArgument;
    }
    if (!isPosition && !window.resizable) {
        return AXStatus::failure;
    }
    if (window.move == MoveBehaviour::late) {
        const std::uint32_t number = window.number;
        m_clock.scheduleAfter(window.lateBy,
                              [this, number, attribute = std::string(attribute), value] {
                                  if (auto* w = this->window(number)) {
                                      applyFrameWrite(*w, attribute, value);
                                  }
                              });
        return AXStatus::success;
    }
    applyFrameWrite(window, attribute, value);
    return AXStatus::success;
}

void SimulatedDesktop::applyFrameWrite(SimWindow& window,
                                       std::string_view attribute,
                                       const Value& value) {
    const bool isPosition = attribute == ax::position;
    switch (window.move) {
        case MoveBehaviour::never:
            return;
        case MoveBehaviour::partway:
            if (isPosition) {
                window.frame.origin = window.stopFrame.origin;
            } else {
                window.frame.size = window.stopFrame.size;
            }
            return;
        case MoveBehaviour::clamped:
            if (isPosition) {
                window.frame.origin = *value.asPoint();
            } else {
                const Size asked = *value.asSize();
                window.frame.size = {std::max(asked.width, window.minimumSize.width),
                                     std::max(asked.height, window.minimumSize.height)};
            }
            return;
        case MoveBehaviour::immediate:
        case MoveBehaviour::late:
            if (isPosition) {
                window.frame.origin = *value.asPoint();
            } else {
                window.frame.size = *value.asSize();
            }
            return;
    }
}

Duration SimulatedDesktop::messagingTimeout(std::int32_t pid) const {
    double seconds = std::chrono::duration<double>(defaultMessagingTimeout).count();
    if (auto it = m_appTimeouts.find(pid); it != m_appTimeouts.end()) {
        seconds = it->second;
    } else if (systemMessagingTimeout) {
        seconds = *systemMessagingTimeout;
    }
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
}

void SimulatedDesktop::setApplicationMessagingTimeout(std::int32_t pid, double seconds) {
    m_appTimeouts[pid] = seconds;
}

}  // namespace vorn::platform::sim
