#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "EntryPoints.h"

namespace vorn {

// The key-window event record for a window: 256 bytes, byte 0x08 left 0 for the sender to set.
platform::EventRecord makeKeyWindowEventRecord(std::uint32_t windowID);

// The optional entry points that map an accessibility window to its window number and bring a
// process to the front with one particular window as its key window. Each is looked up through
// the loader once, on first use, and stays as found; any of them may be missing, and callers
// then take their public fallbacks. The application keeps one instance for the whole process.
// Thread-safe.
class AXPrivate {
public:
    using GetWindowFn = std::function<platform::entrypoint::WindowOfElement>;

    // Fronting options that make the given window the key window.
    static constexpr std::uint32_t frontWithWindowOptions = 0x200;

    explicit AXPrivate(platform::EntryPointLoader& loader);
    AXPrivate(const AXPrivate&) = delete;
    AXPrivate& operator=(const AXPrivate&) = delete;

    // Opens the focus libraries and looks the entry points up now rather than on first use.
    void preloadFocusFrameworks();

    // The window-number entry point was found.
    bool axCGWindowIDSupported();
    // The three focus entry points were all found.
    bool skyLightFocusSupported();

    // Writes the window number of a window element; success means it was written.
    const std::optional<GetWindowFn>& getWindowFn();
    // The element's window number; no value when the entry point is missing or fails.
    std::optional<std::uint32_t> windowNumber(const platform::Element& element);

    // Brings the process to the front with the window and posts the key-window record pair.
    // True only when the process could be addressed and the fronting call succeeded.
    [[nodiscard]] bool skyLightFocusWindow(std::int32_t pid, std::uint32_t windowID);

private:
    using GetProcessForPIDFn = std::function<platform::entrypoint::ProcessForPID>;
    using SetFrontFn = std::function<platform::entrypoint::SetFrontProcess>;
    using PostEventFn = std::function<platform::entrypoint::PostEventRecord>;

    void ensureFocusFrameworksLoaded();
    const std::optional<GetProcessForPIDFn>& getProcessForPIDFn();
    const std::optional<SetFrontFn>& slpsSetFrontFn();
    const std::optional<PostEventFn>& slpsPostEventFn();

    platform::EntryPointLoader& m_loader;

    std::once_flag m_getWindowOnce;
    std::optional<GetWindowFn> m_getWindow;
    std::once_flag m_frameworksOnce;
    std::once_flag m_processOnce;
    std::optional<GetProcessForPIDFn> m_getProcessForPID;
    std::once_flag m_frontOnce;
    std::optional<SetFrontFn> m_setFront;
    std::once_flag m_postOnce;
    std::optional<PostEventFn> m_postEvent;
    std::once_flag m_focusSupportedOnce;
    bool m_focusSupported = false;
};

}  // namespace vorn
