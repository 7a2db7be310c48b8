#include "SimulatedWorld.h"

namespace vorn::test {

SimulatedWorld::SimulatedWorld()
    : services(desktop.services())
    , privateCalls(services.loader)
    , context{services, privateCalls} {
    desktop.addDisplay({.id = 1, .bounds = Rect(0, 0, 1920, 1080), .name = "Built-in"});
}

platform::sim::SimApplication& SimulatedWorld::addApp(std::int32_t pid,
                                                      const std::string& bundleId,
                                                      const std::string& name) {
    return desktop.addApplication({.pid = pid, .bundleId = bundleId, .name = name});
}

platform::sim::SimWindow& SimulatedWorld::addWindow(std::uint32_t number,
                                                    std::int32_t owner,
                                                    const Rect& frame,
                                                    const std::string& title) {
    return desktop.addWindow({.number = number, .owner = owner, .title = title, .frame = frame});
}

}  // namespace vorn::test
