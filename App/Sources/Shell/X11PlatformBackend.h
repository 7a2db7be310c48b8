#pragma once

#include <memory>

#include "AXPrivate.h"
#include "PlatformBackend.h"
#include "WindowLayerContext.h"
#include "X11Backend.h"

namespace vorn::app {

// The real desktop: the X11 backend of the platform layer, driven by the application's run
// loop, and the window layer over it.
class X11PlatformBackend final : public PlatformBackend {
public:
    // The run loop watches the X connection and must outlive the backend.
    explicit X11PlatformBackend(platform::RunLoop& runLoop);

    platform::Services services() override { return m_services; }
    void preloadFocusFrameworks() override { m_privateCalls.preloadFocusFrameworks(); }
    std::shared_ptr<WindowManager> makeWindowManager(std::uint32_t displayID) override;
    // Whether the X server can be reached.
    bool isConnected() { return m_x11.isConnected(); }
    platform::x11::X11Backend& x11() { return m_x11; }

private:
    platform::x11::X11Backend m_x11;
    platform::Services m_services;
    AXPrivate m_privateCalls;
    WindowLayerContext m_context;
};

}  // namespace vorn::app
