#include <cmath>
#include <sstream>

#include "SimulatedParts.h"

namespace vorn::platform::sim {
namespace {

Element makeElement(SimElement::Kind kind,
                    std::int32_t pid,
                    std::uint32_t window = 0,
                    std::size_t menu = 0,
                    std::size_t item = 0) {
    auto element = std::make_shared<SimElement>();
    element->kind = kind;
    element->pid = pid;
    element->window = window;
    element->menu = menu;
    element->item = item;
    return element;
}

std::string describe(const Element& element) {
    const SimElement* el = simElement(element);
    return el != nullptr ? el->description() : std::string("<foreign>");
}

}  // namespace

std::string SimElement::description() const {
    std::ostringstream out;
    switch (kind) {
        case Kind::systemWide:
            out << "systemWide";
            break;
        case Kind::application:
            out << "app:" << pid;
            break;
        case Kind::window:
            out << "win#" << window;
            break;
        case Kind::menuBar:
            out << "menubar:" << pid;
            break;
        case Kind::menuBarItem:
            out << "menubaritem:" << pid << '/' << menu;
            break;
        case Kind::menu:
            out << "menu:" << pid << '/' << menu;
            break;
        case Kind::menuItem:
            out << "menuitem:" << pid << '/' << menu << '/' << item;
            break;
    }
    return out.str();
}

const SimElement* simElement(const Element& element) {
    return dynamic_cast<const SimElement*>(element.get());
}

bool SimulatedAccessibility::isProcessTrusted() {
    m_desktop.record("ax.isTrusted");
    return m_desktop.trusted;
}

bool SimulatedAccessibility::promptForTrust() {
    m_desktop.record("ax.prompt");
    ++m_desktop.promptCount;
    const bool now = m_desktop.trusted;
    // The user answers after the call has returned; later reads see the answer.
    m_desktop.trusted = m_desktop.trusted || m_desktop.trustedAfterPrompt;
    return now;
}

Element SimulatedAccessibility::systemWideElement() {
    return makeElement(SimElement::Kind::systemWide, 0);
}

Element SimulatedAccessibility::applicationElement(std::int32_t pid) {
    return makeElement(SimElement::Kind::application, pid);
}

AXStatus SimulatedAccessibility::reach(const SimElement& element) {
    if (!m_desktop.trusted) {
        return AXStatus::notTrusted;
    }
    if (element.kind == SimElement::Kind::systemWide) {
        return AXStatus::success;
    }
    const SimApplication* app = m_desktop.application(element.pid);
    if (app == nullptr) {
        return AXStatus::invalidElement;
    }
    if (!app->responsive) {
        m_desktop.clock().advanceBy(m_desktop.messagingTimeout(element.pid));
        return AXStatus::cannotComplete;
    }
    m_desktop.clock().advanceBy(app->responseTime);
    if (element.kind == SimElement::Kind::window) {
        const SimWindow* w = m_desktop.window(element.window);
        if (w == nullptr || w->owner != element.pid) {
            return AXStatus::invalidElement;
        }
    }
    return AXStatus::success;
}

AXReply<Value> SimulatedAccessibility::copyAttributeValue(const Element& element,
                                                          std::string_view attribute) {
    m_desktop.record("ax.copy " + describe(element) + " " + std::string(attribute));
    const SimElement* el = simElement(element);
    if (el == nullptr) {
        return {AXStatus::illegalArgument, std::nullopt};
    }
    if (AXStatus status = reach(*el); status != AXStatus::success) {
        return {status, std::nullopt};
    }
    switch (el->kind) {
        case SimElement::Kind::systemWide:
            return {AXStatus::attributeUnsupported, std::nullopt};
        case SimElement::Kind::application:
            return readApplication(*el, attribute);
        case SimElement::Kind::window:
            return readWindow(*el, attribute);
        case SimElement::Kind::menuBar:
        case SimElement::Kind::menuBarItem:
        case SimElement::Kind::menu:
        case SimElement::Kind::menuItem:
            return readMenu(*el, attribute);
    }
    return {AXStatus::failure, std::nullopt};
}

AXReply<Value> SimulatedAccessibility::readApplication(const SimElement& element,
                                                       std::string_view attribute) {
    const SimApplication& app = *m_desktop.application(element.pid);
    if (auto it = app.attributeOverrides.find(attribute); it != app.attributeOverrides.end()) {
        return {AXStatus::success, it->second};
    }
    if (attribute == ax::windows) {
        Value::Array windows;
        for (std::uint32_t number : m_desktop.accessibleWindows(element.pid)) {
            windows.push_back(
                Value::element(makeElement(SimElement::Kind::window, element.pid, number)));
        }
        return {AXStatus::success, Value::array(std::move(windows))};
    }
    if (attribute == ax::focusedWindow) {
        if (app.focusedWindow && m_desktop.window(*app.focusedWindow) != nullptr) {
            return {AXStatus::success,
                    Value::element(
                        makeElement(SimElement::Kind::window, element.pid, *app.focusedWindow))};
        }
        return {AXStatus::noValue, std::nullopt};
    }
    if (attribute == ax::enhancedUserInterface) {
        if (app.enhancedUserInterface) {
            return {AXStatus::success, Value::boolean(*app.enhancedUserInterface)};
        }
        return {AXStatus::attributeUnsupported, std::nullopt};
    }
    if (attribute == ax::menuBar) {
        if (app.hasMenuBar) {
            return {AXStatus::success,
                    Value::element(makeElement(SimElement::Kind::menuBar, element.pid))};
        }
        return {AXStatus::noValue, std::nullopt};
    }
    if (attribute == ax::title && app.name) {
        return {AXStatus::success, Value::string(*app.name)};
    }
    return {AXStatus::attributeUnsupported, std::nullopt};
}

AXReply<Value> SimulatedAccessibility::readWindow(const SimElement& element,
                                                  std::string_view attribute) {
    const SimWindow& w = *m_desktop.window(element.window);
    if (w.failingAttributes.contains(attribute)) {
        return {AXStatus::failure, std::nullopt};
    }
    if (auto it = w.attributeOverrides.find(attribute); it != w.attributeOverrides.end()) {
        return {AXStatus::success, it->second};
    }
    if (attribute == ax::title) {
        return {AXStatus::success, Value::string(w.title)};
    }
    if (attribute == ax::document) {
        if (w.document) {
            return {AXStatus::success, Value::string(*w.document)};
        }
        return {AXStatus::noValue, std::nullopt};
    }
    if (attribute == ax::url) {
        if (w.url) {
            return {AXStatus::success, *w.url};
        }
        return {AXStatus::noValue, std::nullopt};
    }
    if (attribute == ax::minimized) {
        return {AXStatus::success, Value::boolean(w.minimized)};
    }
    if (attribute == ax::position) {
        return {AXStatus::success, Value::point(w.frame.origin)};
    }
    if (attribute == ax::size) {
        return {AXStatus::success, Value::size(w.frame.size)};
    }
    if (attribute == ax::subrole) {
        return {AXStatus::success, Value::string(w.subrole)};
    }
    return {AXStatus::attributeUnsupported, std::nullopt};
}

const SimMenuItem* SimulatedAccessibility::menuItem(const SimElement& element) {
    const SimApplication& app = *m_desktop.application(element.pid);
    if (element.menu >= app.menus.size() || element.item >= app.menus[element.menu].items.size()) {
        return nullptr;
    }
    return &app.menus[element.menu].items[element.item];
}

AXReply<Value> SimulatedAccessibility::readMenu(const SimElement& element,
                                                std::string_view attribute) {
    const SimApplication& app = *m_desktop.application(element.pid);
    if (!app.hasMenuBar
        || (element.kind != SimElement::Kind::menuBar && element.menu >= app.menus.size())) {
        return {AXStatus::invalidElement, std::nullopt};
    }
    switch (element.kind) {
        case SimElement::Kind::menuBar:
            if (attribute == ax::children) {
                Value::Array items;
                for (std::size_t i = 0; i < app.menus.size(); ++i) {
                    items.push_back(Value::element(
                        makeElement(SimElement::Kind::menuBarItem, element.pid, 0, i)));
                }
                return {AXStatus::success, Value::array(std::move(items))};
            }
            break;
        case SimElement::Kind::menuBarItem:
            if (attribute == ax::title) {
                return {AXStatus::success, Value::string(app.menus[element.menu].title)};
            }
            if (attribute == ax::children) {
                return {AXStatus::success,
                        Value::array({Value::element(
                            makeElement(SimElement::Kind::menu, element.pid, 0, element.menu))})};
            }
            break;
        case SimElement::Kind::menu:
            if (attribute == ax::children) {
                Value::Array items;
                for (std::size_t i = 0; i < app.menus[element.menu].items.size(); ++i) {
                    items.push_back(Value::element(
                        makeElement(SimElement::Kind::menuItem, element.pid, 0, element.menu, i)));
                }
                return {AXStatus::success, Value::array(std::move(items))};
            }
            break;
        case SimElement::Kind::menuItem: {
            const SimMenuItem* item = menuItem(element);
            if (item == nullptr) {
                return {AXStatus::invalidElement, std::nullopt};
            }
            if (attribute == ax::title && item->title) {
                return {AXStatus::success, Value::string(*item->title)};
            }
            if (attribute == ax::menuItemCmdChar && item->cmdChar) {
                return {AXStatus::success, Value::string(*item->cmdChar)};
            }
            if (attribute == ax::menuItemCmdModifiers && item->cmdModifiers) {
                return {AXStatus::success, Value::integer(*item->cmdModifiers)};
            }
            if (attribute == ax::enabled && item->enabled) {
                return {AXStatus::success, Value::boolean(*item->enabled)};
            }
            return {AXStatus::noValue, std::nullopt};
        }
        default:
            break;
    }
    return {AXStatus::attributeUnsupported, std::nullopt};
}

AXStatus SimulatedAccessibility::setAttributeValue(const Element& element,
                                                   std::string_view attribute,
                                                   const Value& value) {
    m_desktop.record("ax.set " + describe(element) + " " + std::string(attribute) + "="
                     + value.description());
    const SimElement* el = simElement(element);
    if (el == nullptr) {
        return AXStatus::illegalArgument;
    }
    if (AXStatus status = reach(*el); status != AXStatus::success) {
        return status;
    }
    if (el->kind == SimElement::Kind::application && attribute == ax::enhancedUserInterface) {
        SimApplication& app = *m_desktop.application(el->pid);
        if (!app.enhancedUserInterface) {
            return AXStatus::attributeUnsupported;
        }
        if (!value.asBoolean()) {
            return AXStatus::illegalArgument;
        }
        app.enhancedUserInterface = *value.asBoolean();
        return AXStatus::success;
    }
    if (el->kind != SimElement::Kind::window) {
        return AXStatus::attributeUnsupported;
    }
    SimWindow& w = *m_desktop.window(el->window);
    if (attribute == ax::minimized) {
        if (!value.asBoolean()) {
            return AXStatus::illegalArgument;
        }
        w.minimized = *value.asBoolean();
        return AXStatus::success;
    }
    if (attribute == ax::position || attribute == ax::size) {
        return m_desktop.writeFrameAttribute(w, attribute, value);
    }
    return AXStatus::attributeUnsupported;
}

AXReply<bool> SimulatedAccessibility::isAttributeSettable(const Element& element,
                                                          std::string_view attribute) {
    m_desktop.record("ax.settable " + describe(element) + " " + std::string(attribute));
    const SimElement* el = simElement(element);
    if (el == nullptr) {
        return {AXStatus::illegalArgument, std::nullopt};
    }
    if (AXStatus status = reach(*el); status != AXStatus::success) {
        return {status, std::nullopt};
    }
    if (el->kind == SimElement::Kind::application && attribute == ax::enhancedUserInterface) {
        if (m_desktop.application(el->pid)->enhancedUserInterface) {
            return {AXStatus::success, true};
        }
        return {AXStatus::attributeUnsupported, std::nullopt};
    }
    if (el->kind == SimElement::Kind::window) {
        const SimWindow& w = *m_desktop.window(el->window);
        if (w.failingAttributes.contains(attribute)) {
            return {AXStatus::failure, std::nullopt};
        }
        if (attribute == ax::size) {
            return {AXStatus::success, w.resizable};
        }
        if (attribute == ax::position || attribute == ax::minimized) {
            return {AXStatus::success, true};
        }
        if (attribute == ax::title || attribute == ax::subrole || attribute == ax::document) {
            return {AXStatus::success, false};
        }
    }
    return {AXStatus::attributeUnsupported, std::nullopt};
}

AXStatus SimulatedAccessibility::performAction(const Element& element, std::string_view action) {
    m_desktop.record("ax.action " + describe(element) + " " + std::string(action));
    const SimElement* el = simElement(element);
    if (el == nullptr) {
        return AXStatus::illegalArgument;
    }
    if (AXStatus status = reach(*el); status != AXStatus::success) {
        return status;
    }
    if (el->kind == SimElement::Kind::window && action == ax::raiseAction) {
        m_desktop.raiseWindow(el->window);
        return AXStatus::success;
    }
    if (el->kind == SimElement::Kind::menuItem && action == ax::pressAction) {
        const SimMenuItem* item = menuItem(*el);
        if (item == nullptr) {
            return AXStatus::invalidElement;
        }
        // Copied: pressing may change the menus.
        auto onPress = item->onPress;
        return onPress ? onPress() : AXStatus::success;
    }
    return AXStatus::actionUnsupported;
}

AXStatus SimulatedAccessibility::setMessagingTimeout(const Element& element, double seconds) {
    std::ostringstream line;
    line << "ax.timeout " << describe(element) << " " << seconds;
    m_desktop.record(line.str());
    const SimElement* el = simElement(element);
    if (el == nullptr || !std::isfinite(seconds) || seconds < 0) {
        return AXStatus::illegalArgument;
    }
    if (el->kind == SimElement::Kind::systemWide) {
        m_desktop.systemMessagingTimeout = seconds;
    } else {
        m_desktop.setApplicationMessagingTimeout(el->pid, seconds);
    }
    return AXStatus::success;
}

}  // namespace vorn::platform::sim
