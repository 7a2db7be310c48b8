#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "MacWindowManager.h"
#include "SimulatedWorld.h"

namespace vorn::test {

// A manager for display 1 of a simulated world with an editor (pid 10) and a viewer (pid 20).
class MacWindowManagerTest : public ::testing::Test {
protected:
    static constexpr std::int32_t editor = 10;
    static constexpr std::int32_t viewer = 20;

    MacWindowManagerTest() {
        world.addApp(editor, "org.example.editor", "Editor");
        world.addApp(viewer, "org.example.viewer", "Viewer");
    }

    // Made on first use, so that each test can script the world first.
    MacWindowManager& manager() {
        if (!m_manager) {
            m_manager = MacWindowManager::create(world.context, targetDisplay);
        }
        return *m_manager;
    }
    std::shared_ptr<MacWindowManager>& managerPointer() {
        (void)manager();
        return m_manager;
    }
    platform::sim::SimWindow& sim(std::uint32_t number) { return *world.desktop.window(number); }
    std::vector<std::uint32_t> listedNumbers() {
        std::vector<std::uint32_t> numbers;
        const auto listed = manager().listWindows();
        if (!listed) {
            ADD_FAILURE() << "no window list";
            return numbers;
        }
        for (const WindowInfo& info : *listed) {
            numbers.push_back(info.windowID.raw);
        }
        return numbers;
    }

    CapturingLogSink logs;
    SimulatedWorld world;
    std::optional<std::uint32_t> targetDisplay = 1;

private:
    std::shared_ptr<MacWindowManager> m_manager;
};

}  // namespace vorn::test
