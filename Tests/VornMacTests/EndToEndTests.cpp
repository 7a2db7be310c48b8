#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "EndToEndSession.h"
#include "FileIO.h"
#include "SimulatedWorld.h"
#include "TempDir.h"

namespace vorn {
namespace {

using namespace std::chrono_literals;
using platform::sim::SimMenu;
using platform::sim::SimMenuItem;

constexpr std::int32_t editorPID = 10;
constexpr std::int32_t viewerPID = 20;

class SimulatedSessionDesktop final : public test::SessionDesktop {
public:
    SimulatedSessionDesktop() {
        world.addApp(editorPID, "org.example.editor", "Editor");
        world.addApp(viewerPID, "org.example.viewer", "Viewer");
    }

    const WindowLayerContext& context() override { return world.context; }
    std::optional<std::uint32_t> displayID() override { return 1; }
    AppRef application(test::SessionApp which) override {
        return which == test::SessionApp::editor ? AppRef{"org.example.editor", "Editor"}
                                                 : AppRef{"org.example.viewer", "Viewer"};
    }
    WindowID openWindow(test::SessionApp which, const std::string& title) override {
        const std::uint32_t number = m_nextWindow++;
        const std::int32_t pid = which == test::SessionApp::editor ? editorPID : viewerPID;
        const double offset = 30.0 * (number % 10);
        world.addWindow(number, pid, Rect(300 + offset, 100 + offset, 800, 600), title);
        world.desktop.activateApplication(pid, number);
        return WindowID(number);
    }
    void focusWindow(WindowID window) override {
        if (const auto* w = world.desktop.window(window.raw)) {
            world.desktop.activateApplication(w->owner, window.raw);
        }
    }
    void closeWindow(WindowID window) override { world.desktop.closeWindow(window.raw); }
    void settle() override { world.runLoop().drain(); }
    void passPoll() override {
        auto& runLoop = world.runLoop();
        const auto deadline = runLoop.now() + std::chrono::milliseconds(1500);
        while (runLoop.now() < deadline) {
            (void)runLoop.runUntil(deadline);
        }
        settle();
    }

    test::SimulatedWorld world;

private:
    std::uint32_t m_nextWindow = 101;
};

class EndToEndTest : public ::testing::Test {
protected:
    test::CapturingLogSink logs;
    test::TempDir dir;
    SimulatedSessionDesktop desktop;
};

TEST_F(EndToEndTest, TheScriptedSessionOnTheSimulatedDesktop) {
    test::runEndToEndSession(desktop, dir / "state.json");
}

TEST_F(EndToEndTest, ReleasingTheModelWhileItWaitsForANewWindowIsClean) {
    const auto stateFile = dir / "state.json";
    const WindowID gone = desktop.openWindow(test::SessionApp::editor, "Notes");
    auto program = std::make_unique<test::SessionProgram>(desktop, stateFile);
    desktop.settle();
    auto& model = program->model();
    model.pin(model.ambient().front());
    desktop.closeWindow(gone);

    // The editor opens a window 0.6 s after its New Window item is pressed.
    auto& editor = *desktop.world.desktop.application(editorPID);
    editor.menus = {
        SimMenu{"File", {SimMenuItem{.title = "New Window", .onPress = [this] {
                                         desktop.world.desktop.clock().scheduleAfter(600ms, [this] {
                                             desktop.world.addWindow(
                                                 500, editorPID, Rect(300, 100, 800, 600), "Notes");
                                         });
                                         return platform::AXStatus::success;
                                     }}}}};
    // The program lets go of its model while the model waits inside its own call.
    std::weak_ptr<SidebarModel> weakModel = program->modelPointer();
    std::weak_ptr<MacWindowManager> weakManager = program->manager().weak_from_this();
    desktop.world.desktop.clock().scheduleAfter(
        200ms, [this, &program] { desktop.world.runLoop().post([&program] { program.reset(); }); });

    const SpaceTab tab = model.pinnedTabs().front();
    model.activate(tab);

    EXPECT_EQ(program, nullptr);
    EXPECT_TRUE(weakModel.expired());
    EXPECT_TRUE(weakManager.expired());
    // The new window was bound before the model went, and saved.
    const auto saved = decodeStateFile(fileio::readFile(stateFile).value_or(""));
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->spaces.size(), 1u);
    ASSERT_EQ(saved->spaces.front().tabs.size(), 1u);
    EXPECT_EQ(saved->spaces.front().tabs.front().boundWindowID, WindowID(500));
    // Nothing runs for the released program afterwards.
    desktop.world.desktop.clearCalls();
    desktop.passPoll();
    desktop.world.desktop.activateApplication(editorPID);
    desktop.settle();
    EXPECT_EQ(desktop.world.desktop.countCalls("windowList"), 0u);
    EXPECT_EQ(desktop.world.desktop.runLoop().activeTimers(), 0u);
}

}  // namespace
}  // namespace vorn
