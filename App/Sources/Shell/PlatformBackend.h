#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Services.h"
#include "WindowManager.h"

namespace vorn::app {

// Where the application gets the desktop from: the platform interfaces and one window manager
// per host display. The program runs on the X11 desktop; tests run on the simulated one.
class PlatformBackend {
public:
    virtual ~PlatformBackend() = default;

    // Valid for the backend's life.
    virtual platform::Services services() = 0;
    // Looks up the optional focus entry points; called once at launch before anything else.
    virtual void preloadFocusFrameworks() = 0;
    // The window manager of the sidebar on that display.
    virtual std::shared_ptr<WindowManager> makeWindowManager(std::uint32_t displayID) = 0;
    // Calls back on the main thread whenever the Accessibility permission may have changed.
    // Desktops that grant it for good never call.
    virtual void observeTrustChanges(std::function<void()> /*changed*/) {}
};

}  // namespace vorn::app
