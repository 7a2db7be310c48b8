#pragma once

#include <cstdint>
#include <string>

#include "AXPrivate.h"
#include "SimulatedDesktop.h"
#include "WindowLayerContext.h"

namespace vorn::test {

// A simulated desktop with one 1920x1080 display (number 1) and the window layer's context on
// it. Applications and windows are added with the helpers; everything else is scripted on
// `desktop` directly.
class SimulatedWorld {
public:
    SimulatedWorld();
    SimulatedWorld(const SimulatedWorld&) = delete;
    SimulatedWorld& operator=(const SimulatedWorld&) = delete;

    platform::sim::SimulatedDesktop desktop;
    platform::Services services;
    AXPrivate privateCalls;
    WindowLayerContext context;

    platform::sim::SimApplication& addApp(std::int32_t pid,
                                          const std::string& bundleId,
                                          const std::string& name);
    // A standard window in front of the others, in top-left coordinates.
    platform::sim::SimWindow& addWindow(std::uint32_t number,
                                        std::int32_t owner,
                                        const Rect& frame,
                                        const std::string& title = "Window");
    // The accessibility element of the window, as its application lists it.
    platform::Element windowElement(std::uint32_t number) { return desktop.windowElement(number); }
    platform::sim::SimulatedRunLoop& runLoop() { return desktop.runLoop(); }
};

}  // namespace vorn::test
