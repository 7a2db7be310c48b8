#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "PlatformBackend.h"
#include "ScriptedWindowManager.h"
#include "SimulatedWorld.h"

namespace vorn::test {

// The application's backend on the simulated desktop (one 1920x1080 display, number 1). Window
// managers are scripted ones, kept in `managers`, unless the test makes its own.
class SimulatedBackend final : public app::PlatformBackend {
public:
    SimulatedWorld world;
    std::function<std::shared_ptr<WindowManager>(std::uint32_t displayID)> makeManager;
    std::vector<std::pair<std::uint32_t, std::shared_ptr<ScriptedWindowManager>>> managers;
    int preloads = 0;
    std::function<void()> trustChanged;

    platform::Services services() override { return world.services; }
    void preloadFocusFrameworks() override;
    std::shared_ptr<WindowManager> makeWindowManager(std::uint32_t displayID) override;
    void observeTrustChanges(std::function<void()> changed) override {
        trustChanged = std::move(changed);
    }
};

}  // namespace vorn::test
