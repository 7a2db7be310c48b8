#include "NewWindowOpener.h"

#include "PlatformReads.h"

namespace vorn {
namespace {

using platform::Value;

// The attribute's value when it is an element.
platform::Element elementAttribute(platform::Accessibility& accessibility,
                                   const platform::Element& parent,
                                   std::string_view attribute) {
    auto value = readAttribute(accessibility, parent, attribute);
    if (!value) {
        return nullptr;
    }
    const platform::Element* element = value->asElement();
    return element != nullptr ? *element : nullptr;
}

// The element's children that are elements; none when they cannot be read.
std::vector<platform::Element> children(platform::Accessibility& accessibility,
                                        const platform::Element& element) {
    std::vector<platform::Element> result;
    auto value = readAttribute(accessibility, element, platform::ax::children);
    if (!value || value->asArray() == nullptr) {
        return result;
    }
    for (const Value& child : *value->asArray()) {
        if (const platform::Element* e = child.asElement(); e != nullptr && *e) {
            result.push_back(*e);
        }
    }
    return result;
}

MenuItemDescriptor describe(platform::Accessibility& accessibility, const platform::Element& item) {
    MenuItemDescriptor descriptor;
    if (auto title = readAttribute(accessibility, item, platform::ax::title)) {
        if (const std::string* text = title->asString()) {
            descriptor.title = *text;
        }
    }
    if (auto cmdChar = readAttribute(accessibility, item, platform::ax::menuItemCmdChar)) {
        if (const std::string* text = cmdChar->asString()) {
            descriptor.cmdChar = *text;
        }
    }
    if (auto modifiers = readAttribute(accessibility, item, platform::ax::menuItemCmdModifiers)) {
        descriptor.cmdModifiers = modifiers->asInt64().value_or(0);
    }
    if (auto enabled = readAttribute(accessibility, item, platform::ax::enabled)) {
        descriptor.enabled = enabled->numberBoolValue().value_or(true);
    }
    return descriptor;
}

}  // namespace

bool NewWindowOpener::pressNewWindowMenu(const WindowLayerContext& context,
                                         const std::string& bundleID) {
    const auto running = context.platform.workspace.runningApplications(bundleID);
    if (running.empty() || running.front().pid <= 0) {
        return false;
    }
    return pressNewWindowMenu(context, running.front().pid);
}

bool NewWindowOpener::pressNewWindowMenu(const WindowLayerContext& context, std::int32_t pid) {
    auto& accessibility = context.platform.accessibility;
    if (!accessibility.isProcessTrusted()) {
        return false;
    }
    const platform::Element app = accessibility.applicationElement(pid);
    const platform::Element menuBar = elementAttribute(accessibility, app, platform::ax::menuBar);
    if (!menuBar) {
        return false;
    }
    const std::vector<MenuCandidate> candidates = newWindowCandidates(context, menuBar);
    std::vector<MenuItemDescriptor> descriptors;
    descriptors.reserve(candidates.size());
    for (const MenuCandidate& candidate : candidates) {
        descriptors.push_back(candidate.descriptor);
    }
    const auto chosen = NewWindowMenuMatcher::pick(descriptors);
    if (!chosen) {
        return false;
    }
    return accessibility.performAction(candidates[*chosen].element, platform::ax::pressAction)
           == platform::AXStatus::success;
}

std::vector<MenuCandidate> NewWindowOpener::newWindowCandidates(const WindowLayerContext& context,
                                                                const platform::Element& menuBar) {
    auto& accessibility = context.platform.accessibility;
    std::vector<MenuCandidate> candidates;
    for (const platform::Element& barItem : children(accessibility, menuBar)) {
        for (const platform::Element& menu : children(accessibility, barItem)) {
            for (const platform::Element& item : children(accessibility, menu)) {
                candidates.push_back({describe(accessibility, item), item});
            }
        }
    }
    return candidates;
}

void NewWindowOpener::launch(const WindowLayerContext& context, const std::string& bundleID) {
    auto& workspace = context.platform.workspace;
    const auto url = workspace.urlForApplication(bundleID);
    if (!url) {
        return;
    }
    workspace.openApplication(*url, platform::OpenConfiguration{.activates = true});
}

}  // namespace vorn
