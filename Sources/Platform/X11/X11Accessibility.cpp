#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>

#include <xcb/xcb_icccm.h>

#include "Coordinates.h"
#include "Log.h"
#include "Text.h"
#include "X11Parts.h"

namespace vorn::platform::x11 {
namespace {

bool contains(const std::vector<std::uint32_t>& values, std::uint32_t value) {
    return value != XCB_NONE && std::find(values.begin(), values.end(), value) != values.end();
}

bool processRuns(std::int32_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::string subroleOf(WindowType type) {
    switch (type) {
        case WindowType::normal:
            return std::string(ax::standardWindowSubrole);
        case WindowType::dialog:
            return "AXDialog";
        case WindowType::utility:
        case WindowType::toolbar:
        case WindowType::menu:
            return "AXFloatingWindow";
        default:
            return "AXUnknown";
    }
}

bool isWindowAttribute(std::string_view attribute) {
    return attribute == ax::title || attribute == ax::document || attribute == ax::url
           || attribute == ax::minimized || attribute == ax::position || attribute == ax::size
           || attribute == ax::subrole;
}

}  // namespace

const X11Element* x11Element(const Element& element) {
    return dynamic_cast<const X11Element*>(element.get());
}

Element makeWindowElement(std::int32_t pid, xcb_window_t window) {
    auto element = std::make_shared<X11Element>();
    element->kind = X11Element::Kind::window;
    element->pid = pid;
    element->window = window;
    return element;
}

std::string_view standingName(Standing standing) {
    switch (standing) {
        case Standing::managed:
            return "managed";
        case Standing::noWindowManager:
            return "no window manager runs";
        case Standing::notManaged:
            return "window not managed";
        case Standing::otherProcess:
            return "window not of the process";
    }
    return "managed";
}

Standing standingOf(X11Desktop& desktop, xcb_window_t window, std::int32_t pid) {
    const ClientSnapshot* clients = desktop.clients();
    if (!desktop.hasWindowManager()) {
        return Standing::noWindowManager;
    }
    const ClientWindow* found = clients != nullptr ? clients->find(window) : nullptr;
    if (found == nullptr) {
        return Standing::notManaged;
    }
    // A window whose process is unknown stands under the stand-in of its class.
    return found->pid == pid ? Standing::managed : Standing::otherProcess;
}

Element X11Accessibility::systemWideElement() {
    return std::make_shared<X11Element>();
}

Element X11Accessibility::applicationElement(std::int32_t pid) {
    auto element = std::make_shared<X11Element>();
    element->kind = X11Element::Kind::application;
    element->pid = pid;
    return element;
}

AXReply<Value> X11Accessibility::copyAttributeValue(const Element& element,
                                                    std::string_view attribute) {
    const X11Element* el = x11Element(element);
    if (el == nullptr) {
        return {AXStatus::illegalArgument, std::nullopt};
    }
    switch (el->kind) {
        case X11Element::Kind::systemWide:
            return {AXStatus::attributeUnsupported, std::nullopt};
        case X11Element::Kind::application:
            return readApplication(*el, attribute);
        case X11Element::Kind::window:
            return readWindow(*el, attribute);
    }
    return {AXStatus::failure, std::nullopt};
}

AXReply<Value> X11Accessibility::readApplication(const X11Element& element,
                                                 std::string_view attribute) {
    if (attribute == ax::menuBar) {
        // Menus of X11 applications are not reachable; the window layer launches instead.
        return {AXStatus::noValue, std::nullopt};
    }
    if (attribute != ax::windows && attribute != ax::focusedWindow && attribute != ax::title) {
        return {AXStatus::attributeUnsupported, std::nullopt};
    }
    if (m_desktop.connection() == nullptr) {
        return {AXStatus::cannotComplete, std::nullopt};
    }
    AfterReplies after(m_desktop);
    const X11Desktop::Application* app = m_desktop.application(element.pid);
    if (app == nullptr && !processRuns(element.pid)) {
        return {AXStatus::invalidElement, std::nullopt};
    }
    if (attribute == ax::windows) {
        Value::Array windows;
        if (app != nullptr) {
            for (xcb_window_t window : app->windows) {
                windows.push_back(Value::element(makeWindowElement(element.pid, window)));
            }
        }
        return {AXStatus::success, Value::array(std::move(windows))};
    }
    if (attribute == ax::title) {
        if (app != nullptr && app->info.localizedName) {
            return {AXStatus::success, Value::string(*app->info.localizedName)};
        }
        return {AXStatus::noValue, std::nullopt};
    }
    // The focused window of a process is the active window, when it is one of its own.
    const ClientSnapshot* clients = m_desktop.clients();
    const xcb_window_t active = clients != nullptr ? clients->activeWindow : XCB_NONE;
    if (active != XCB_NONE && m_desktop.managedWindow(active, element.pid) != nullptr) {
        return {AXStatus::success, Value::element(makeWindowElement(element.pid, active))};
    }
    return {AXStatus::noValue, std::nullopt};
}

AXReply<Value> X11Accessibility::readWindow(const X11Element& element, std::string_view attribute) {
    if (!isWindowAttribute(attribute)) {
        return {AXStatus::attributeUnsupported, std::nullopt};
    }
    if (attribute == ax::document) {
        return readDocument(element);
    }
    if (attribute == ax::url) {
        // Documents are told as plain paths.
        return {AXStatus::noValue, std::nullopt};
    }
    if (m_desktop.connection() == nullptr) {
        return {AXStatus::cannotComplete, std::nullopt};
    }
    AfterReplies after(m_desktop);
    // Answered from what the server last reported: each change of these parts arrives as an
    // event, so a read asks the server only for what changed since the last one.
    const ClientWindow* window = m_desktop.managedWindow(element.window, element.pid);
    if (window == nullptr) {
        return {AXStatus::invalidElement, std::nullopt};
    }
    if (attribute == ax::title) {
        return {AXStatus::success, Value::string(window->title)};
    }
    if (attribute == ax::minimized) {
        // Taken before the next read, which may replace the snapshot.
        const bool hidden = window->hidden;
        const std::uint32_t on = window->desktop.value_or(allDesktops);
        const ClientSnapshot* clients = m_desktop.clients();
        const std::uint32_t now =
            clients != nullptr ? clients->currentDesktop.value_or(allDesktops) : allDesktops;
        // A window on another desktop is elsewhere, not minimised.
        const bool here = on == allDesktops || now == allDesktops || on == now;
        return {AXStatus::success, Value::boolean(hidden && here)};
    }
    if (attribute == ax::subrole) {
        return {AXStatus::success, Value::string(subroleOf(window->type))};
    }
    if (!window->frame) {
        return {AXStatus::invalidElement, std::nullopt};
    }
    const Rect outer = *window->frame;
    if (attribute == ax::size) {
        return {AXStatus::success, Value::size(outer.size)};
    }
    const auto monitors = m_desktop.monitors();
    const Point origin = monitors ? monitors->globalOrigin() : Point{};
    return {AXStatus::success, Value::point(toGlobal(outer.origin, origin))};
}

AXStatus X11Accessibility::setAttributeValue(const Element& element,
                                             std::string_view attribute,
                                             const Value& value) {
    const X11Element* el = x11Element(element);
    if (el == nullptr) {
        return AXStatus::illegalArgument;
    }
    if (el->kind != X11Element::Kind::window) {
        return AXStatus::attributeUnsupported;
    }
    if (attribute == ax::position || attribute == ax::size) {
        return setFrame(*el, attribute, value);
    }
    if (attribute == ax::minimized) {
        const auto minimized = value.asBoolean();
        if (!minimized) {
            return AXStatus::illegalArgument;
        }
        return setMinimized(*el, *minimized);
    }
    return AXStatus::attributeUnsupported;
}

AXStatus X11Accessibility::setFrame(const X11Element& element,
                                    std::string_view attribute,
                                    const Value& value) {
    const bool isPosition = attribute == ax::position;
    const auto point = value.asPoint();
    const auto size = value.asSize();
    if ((isPosition && (!point || !std::isfinite(point->x) || !std::isfinite(point->y)))
        || (!isPosition
            && (!size || !std::isfinite(size->width) || !std::isfinite(size->height)))) {
        return AXStatus::illegalArgument;
    }
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return AXStatus::cannotComplete;
    }
    AfterReplies after(m_desktop);
    const Connection& c = *connection;
    // The window's standing, frame and state as the events last told: each change of them
    // arrives as an event, so nothing needs asking before the request.
    const ClientWindow* window = m_desktop.managedWindow(element.window, element.pid);
    if (window == nullptr || !window->frame) {
        return AXStatus::invalidElement;
    }
    const FrameExtents extents = window->extents;
    const bool maximized = window->maximized;
    const bool fullscreen = window->fullscreen;
    const std::optional<Monitors> monitors = m_desktop.monitors();
    // A maximised or full-screen window keeps its size in most window managers; it takes the
    // frame only as an ordinary window.
    if (maximized || fullscreen) {
        requestRestore(c, element.window, maximized, fullscreen);
    }
    if (isPosition) {
        const Point origin = monitors ? monitors->globalOrigin() : Point{};
        requestMoveResize(c, element.window, fromGlobal(*point, origin), std::nullopt);
    } else {
        requestMoveResize(c, element.window, std::nullopt, clientSizeFor(*size, extents));
    }
    m_desktop.expectChanges();
    return AXStatus::success;
}

AXStatus X11Accessibility::setMinimized(const X11Element& element, bool minimized) {
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return AXStatus::cannotComplete;
    }
    AfterReplies after(m_desktop);
    const Connection& c = *connection;
    const ClientWindow* window = m_desktop.managedWindow(element.window, element.pid);
    if (window == nullptr) {
        return AXStatus::invalidElement;
    }
    const bool hidden = window->hidden;
    if (minimized && !hidden) {
        requestIconify(c, element.window);
        m_desktop.expectChanges();
    } else if (!minimized && hidden) {
        // Pagers restore a minimised window by activating it.
        if (!activateWindow(m_desktop, element.window)) {
            return AXStatus::failure;
        }
    }
    return AXStatus::success;
}

AXReply<bool> X11Accessibility::isAttributeSettable(const Element& element,
                                                    std::string_view attribute) {
    const X11Element* el = x11Element(element);
    if (el == nullptr) {
        return {AXStatus::illegalArgument, std::nullopt};
    }
    if (el->kind != X11Element::Kind::window || !isWindowAttribute(attribute)) {
        return {AXStatus::attributeUnsupported, std::nullopt};
    }
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return {AXStatus::cannotComplete, std::nullopt};
    }
    AfterReplies after(m_desktop);
    const Connection& c = *connection;
    if (m_desktop.managedWindow(el->window, el->pid) == nullptr) {
        return {AXStatus::invalidElement, std::nullopt};
    }
    if (attribute != ax::size) {
        return {AXStatus::success, attribute == ax::position || attribute == ax::minimized};
    }
    auto hints = xcb_icccm_get_wm_normal_hints(c.raw(), el->window);
    auto allowed = c.getProperty(el->window, c.atoms().netWmAllowedActions, 64);
    xcb_size_hints_t sizeHints{};
    const bool hasHints =
        xcb_icccm_get_wm_normal_hints_reply(c.raw(), hints, &sizeHints, nullptr) != 0;
    auto allowedReply = c.reply(allowed);
    const bool fixed = hasHints && (sizeHints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) != 0
                       && (sizeHints.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) != 0
                       && sizeHints.max_width > 0 && sizeHints.min_width == sizeHints.max_width
                       && sizeHints.min_height == sizeHints.max_height;
    const PropertyView actions = viewOf(allowedReply.get());
    // A window manager that lists allowed actions and leaves out resizing forbids it.
    const bool refused =
        actions.format == 32 && !contains(cardinals(actions), c.atoms().netWmActionResize);
    return {AXStatus::success, !fixed && !refused};
}

AXStatus X11Accessibility::performAction(const Element& element, std::string_view action) {
    const X11Element* el = x11Element(element);
    if (el == nullptr) {
        return AXStatus::illegalArgument;
    }
    if (el->kind != X11Element::Kind::window || action != ax::raiseAction) {
        return AXStatus::actionUnsupported;
    }
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return AXStatus::cannotComplete;
    }
    AfterReplies after(m_desktop);
    if (m_desktop.managedWindow(el->window, el->pid) == nullptr) {
        return AXStatus::invalidElement;
    }
    // An activation raises the window too: a second raise on its heels would change nothing.
    if (m_desktop.raiseRequested() != el->window) {
        requestRaise(*connection, el->window);
        m_desktop.noteRaiseRequested(el->window);
        m_desktop.expectChanges();
    }
    return AXStatus::success;
}

AXStatus X11Accessibility::setMessagingTimeout(const Element& element, double seconds) {
    const X11Element* el = x11Element(element);
    if (el == nullptr || !std::isfinite(seconds) || seconds < 0) {
        return AXStatus::illegalArgument;
    }
    m_timeouts[el->kind == X11Element::Kind::systemWide ? 0 : el->pid] = seconds;
    return AXStatus::success;
}

}  // namespace vorn::platform::x11
