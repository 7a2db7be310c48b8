#include "AXPrivate.h"

#include <array>
#include <string_view>

namespace vorn {
namespace {

constexpr std::array<std::string_view, 2> focusLibraries = {
    "/System/Library/PrivateFrameworks/SkyLight.framework/SkyLight",
    "/System/Library/Frameworks/ApplicationServices.framework/ApplicationServices",
};

}  // namespace

platform::EventRecord makeKeyWindowEventRecord(std::uint32_t windowID) {
    platform::EventRecord record{};
    record[0x04] = 0xF8;
    record[0x3A] = 0x10;
    for (std::size_t i = 0x20; i <= 0x2F; ++i) {
        record[i] = 0xFF;
    }
    // Least significant byte first, whatever the host's byte order.
    for (std::size_t i = 0; i < 4; ++i) {
        record[0x3C + i] = static_cast<std::uint8_t>(windowID >> (8 * i));
    }
    return record;
}

AXPrivate::AXPrivate(platform::EntryPointLoader& loader)
    : m_loader(loader) {}

void AXPrivate::preloadFocusFrameworks() {
    (void)skyLightFocusSupported();
    (void)axCGWindowIDSupported();
}

bool AXPrivate::axCGWindowIDSupported() {
    return getWindowFn().has_value();
}

bool AXPrivate::skyLightFocusSupported() {
    std::call_once(m_focusSupportedOnce, [this] {
        // Stops at the first missing entry point; the others are then looked up on their own
        // first use, if ever.
        m_focusSupported = getProcessForPIDFn().has_value() && slpsSetFrontFn().has_value()
                           && slpsPostEventFn().has_value();
    });
    return m_focusSupported;
}

const std::optional<AXPrivate::GetWindowFn>& AXPrivate::getWindowFn() {
    std::call_once(m_getWindowOnce, [this] {
        m_getWindow = platform::lookUp<platform::entrypoint::WindowOfElement>(
            m_loader, platform::entrypoint::windowOfElement);
    });
    return m_getWindow;
}

std::optional<std::uint32_t> AXPrivate::windowNumber(const platform::Element& element) {
    const auto& getWindow = getWindowFn();
    if (!getWindow) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    if ((*getWindow)(element, number) != platform::AXStatus::success) {
        return std::nullopt;
    }
    return number;
}

void AXPrivate::ensureFocusFrameworksLoaded() {
    std::call_once(m_frameworksOnce, [this] {
        // A library that cannot be opened only means its entry points will not be found.
        for (std::string_view path : focusLibraries) {
            (void)m_loader.openLibrary(path);
        }
    });
}

const std::optional<AXPrivate::GetProcessForPIDFn>& AXPrivate::getProcessForPIDFn() {
    std::call_once(m_processOnce, [this] {
        ensureFocusFrameworksLoaded();
        m_getProcessForPID = platform::lookUp<platform::entrypoint::ProcessForPID>(
            m_loader, platform::entrypoint::processForPID);
    });
    return m_getProcessForPID;
}

const std::optional<AXPrivate::SetFrontFn>& AXPrivate::slpsSetFrontFn() {
    std::call_once(m_frontOnce, [this] {
        ensureFocusFrameworksLoaded();
        m_setFront = platform::lookUp<platform::entrypoint::SetFrontProcess>(
            m_loader, platform::entrypoint::setFrontProcess);
    });
    return m_setFront;
}

const std::optional<AXPrivate::PostEventFn>& AXPrivate::slpsPostEventFn() {
    std::call_once(m_postOnce, [this] {
        ensureFocusFrameworksLoaded();
        m_postEvent = platform::lookUp<platform::entrypoint::PostEventRecord>(
            m_loader, platform::entrypoint::postEventRecord);
    });
    return m_postEvent;
}

bool AXPrivate::skyLightFocusWindow(std::int32_t pid, std::uint32_t windowID) {
    const auto& getProcess = getProcessForPIDFn();
    if (!getProcess) {
        return false;
    }
    const auto& setFront = slpsSetFrontFn();
    if (!setFront) {
        return false;
    }
    const auto& postEvent = slpsPostEventFn();
    if (!postEvent) {
        return false;
    }

    platform::ProcessSerialNumber psn;
    if ((*getProcess)(pid, psn) != 0) {
        return false;
    }
    // When the process did not come forward, marking its window key would act on a background
    // window, so the caller's fallback takes over instead.
    if ((*setFront)(psn, windowID, frontWithWindowOptions) != 0) {
        return false;
    }
    platform::EventRecord record = makeKeyWindowEventRecord(windowID);
    record[0x08] = 0x01;
    (void)(*postEvent)(psn, record);
    record[0x08] = 0x02;
    (void)(*postEvent)(psn, record);
    return true;
}

}  // namespace vorn
