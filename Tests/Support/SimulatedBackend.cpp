#include "SimulatedBackend.h"

namespace vorn::test {

void SimulatedBackend::preloadFocusFrameworks() {
    ++preloads;
    world.privateCalls.preloadFocusFrameworks();
}

std::shared_ptr<WindowManager> SimulatedBackend::makeWindowManager(std::uint32_t displayID) {
    if (makeManager) {
        return makeManager(displayID);
    }
    auto manager = std::make_shared<ScriptedWindowManager>();
    managers.emplace_back(displayID, manager);
    return manager;
}

}  // namespace vorn::test
