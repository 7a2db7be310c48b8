#include "AXWindow.h"

#include "Log.h"
#include "PlatformReads.h"

namespace vorn {
namespace {

std::optional<std::string> nonEmptyString(const std::optional<platform::Value>& value) {
    if (value) {
        if (const std::string* text = value->asString(); text != nullptr && !text->empty()) {
            return *text;
        }
    }
    return std::nullopt;
}

}  // namespace

AXWindow::AXWindow(const WindowLayerContext& context, platform::Element element, std::int32_t pid)
    : m_context(&context)
    , m_element(std::move(element))
    , m_pid(pid) {}

std::optional<platform::Value> AXWindow::read(std::string_view attribute) const {
    return readAttribute(m_context->platform.accessibility, m_element, attribute);
}

std::optional<std::string> AXWindow::title() const {
    return nonEmptyString(read(platform::ax::title));
}

std::optional<std::string> AXWindow::documentPath() const {
    if (auto document = nonEmptyString(read(platform::ax::document))) {
        return document;
    }
    if (auto url = read(platform::ax::url)) {
        if (const std::string* text = url->asURL(); text != nullptr && !text->empty()) {
            return *text;
        }
    }
    // Some applications hand the URL over as plain text.
    return nonEmptyString(read(platform::ax::url));
}

bool AXWindow::isMinimized() const {
    auto value = read(platform::ax::minimized);
    return value && value->asBoolean().value_or(false);
}

std::optional<Rect> AXWindow::frame() const {
    auto position = read(platform::ax::position);
    if (!position) {
        return std::nullopt;
    }
    auto size = read(platform::ax::size);
    if (!size) {
        return std::nullopt;
    }
    auto origin = position->asPoint();
    auto extent = size->asSize();
    if (!origin || !extent) {
        return std::nullopt;
    }
    const Rect rect(origin->x, origin->y, extent->width, extent->height);
    if (!isPlausible(rect)) {
        axWindowLog().debug("frame dropped: not plausible pid=", m_pid);
        return std::nullopt;
    }
    return rect;
}

std::optional<bool> AXWindow::appEnhancedUIEnabled(const platform::Element& app) const {
    auto value =
        readAttribute(m_context->platform.accessibility, app, platform::ax::enhancedUserInterface);
    if (!value) {
        return std::nullopt;
    }
    return value->asBoolean();
}

void AXWindow::applyFrameBurst(const Rect& frame) const {
    auto& accessibility = m_context->platform.accessibility;
    // Size first, so that a window at the screen's edge has room to move; size again, since the
    // move itself may have made the application shrink the window.
    const auto size = platform::Value::size(frame.size);
    (void)accessibility.setAttributeValue(m_element, platform::ax::size, size);
    (void)accessibility.setAttributeValue(m_element, platform::ax::position,
                                          platform::Value::point(frame.origin));
    (void)accessibility.setAttributeValue(m_element, platform::ax::size, size);
}

FrameConvergence::Result AXWindow::converge(const Rect& target,
                                            const std::optional<Rect>& original,
                                            bool animated) const {
    return FrameConvergence::converge(
        target, original, animated, m_context->platform.runLoop, [this] { return frame(); },
        [this, &target] { applyFrameBurst(target); });
}

void AXWindow::setFrame(const Rect& frame) const {
    auto& privateCalls = m_context->privateCalls;
    if (!isPlausible(frame)) {
        axWindowLog().error("setFrame refused: frame not plausible win=",
                            privateCalls.windowNumber(m_element).value_or(0));
        return;
    }
    auto& accessibility = m_context->platform.accessibility;
    const platform::Element app = accessibility.applicationElement(m_pid);
    const std::optional<bool> enhancedUI = appEnhancedUIEnabled(app);

    // Enhanced user interface makes the application animate every change, so the window would
    // still be moving when read back; screen readers need it, so it stays on for them.
    bool toggled = false;
    if (!m_context->platform.workspace.isVoiceOverEnabled() && enhancedUI == true) {
        (void)accessibility.setAttributeValue(app, platform::ax::enhancedUserInterface,
                                              platform::Value::boolean(false));
        toggled = true;
    }

    const std::optional<Rect> original = this->frame();
    applyFrameBurst(frame);
    const FrameConvergence::Result result = converge(frame, original, !toggled);

    const std::uint32_t windowNumber = privateCalls.windowNumber(m_element).value_or(0);
    const char* enhancedText = !enhancedUI ? "unsupported" : (*enhancedUI ? "true" : "false");
    axWindowLog().notice("setFrame win=", windowNumber, " enhancedUI=", enhancedText,
                         " toggled=", toggled ? "true" : "false", " attempts=", result.attempts,
                         " outcome=", frameStepName(result.step));

    if (toggled) {
        (void)accessibility.setAttributeValue(app, platform::ax::enhancedUserInterface,
                                              platform::Value::boolean(true));
    }
}

void AXWindow::raiseAfterFront() const {
    auto& accessibility = m_context->platform.accessibility;
    if (isMinimized()) {
        (void)accessibility.setAttributeValue(m_element, platform::ax::minimized,
                                              platform::Value::boolean(false));
        // Restoring the window leaves it behind the others; front it again now that it is back.
        auto& privateCalls = m_context->privateCalls;
        if (privateCalls.axCGWindowIDSupported()) {
            if (auto number = privateCalls.windowNumber(m_element)) {
                (void)privateCalls.skyLightFocusWindow(m_pid, *number);
            }
        }
    }
    (void)accessibility.performAction(m_element, platform::ax::raiseAction);
}

std::vector<AXWindow> AXWindow::windows(const WindowLayerContext& context, std::int32_t pid) {
    auto& accessibility = context.platform.accessibility;
    const platform::Element app = accessibility.applicationElement(pid);
    auto value = readAttribute(accessibility, app, platform::ax::windows);
    if (!value || value->asArray() == nullptr) {
        return {};
    }
    std::vector<AXWindow> result;
    for (const platform::Value& item : *value->asArray()) {
        const platform::Element* element = item.asElement();
        if (element == nullptr) {
            // One item of another kind makes the whole list unusable.
            return {};
        }
        result.emplace_back(context, *element, pid);
    }
    return result;
}

}  // namespace vorn
