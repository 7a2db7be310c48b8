#include <gtest/gtest.h>

#include "NewWindowOpener.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using platform::AXStatus;
using platform::sim::SimMenu;
using platform::sim::SimMenuItem;

class NewWindowOpenerTest : public ::testing::Test {
protected:
    NewWindowOpenerTest() {
        auto& app = world.addApp(10, "org.example.editor", "Editor");
        app.menus = {
            SimMenu{"Editor", {SimMenuItem{.title = "About Editor"}}},
            SimMenu{"File",
                    {SimMenuItem{.title = "New Tab", .cmdChar = "t", .cmdModifiers = 0},
                     SimMenuItem{.title = "New Window", .cmdModifiers = 1},
                     SimMenuItem{.title = "Open…", .cmdChar = "o", .enabled = false}}},
        };
    }

    bool press(const std::string& bundleID = "org.example.editor") {
        return NewWindowOpener::pressNewWindowMenu(world.context, bundleID);
    }

    test::SimulatedWorld world;
};

TEST_F(NewWindowOpenerTest, CandidatesAreEveryItemOfEveryMenuWithTheirDefaults) {
    auto& accessibility = world.services.accessibility;
    auto menuBar =
        accessibility.copyAttributeValue(accessibility.applicationElement(10), "AXMenuBar");
    ASSERT_TRUE(menuBar.value);
    const auto candidates =
        NewWindowOpener::newWindowCandidates(world.context, *menuBar.value->asElement());
    std::vector<MenuItemDescriptor> descriptors;
    for (const auto& candidate : candidates) {
        descriptors.push_back(candidate.descriptor);
    }
    EXPECT_EQ(descriptors, (std::vector<MenuItemDescriptor>{
                               {"About Editor", std::nullopt, 0, true},
                               {"New Tab", "t", 0, true},
                               {"New Window", std::nullopt, 1, true},
                               {"Open…", "o", 0, false},
                           }));
}

TEST_F(NewWindowOpenerTest, PressesTheChosenItem) {
    int pressed = 0;
    world.desktop.application(10)->menus[1].items[1].onPress = [&] {
        ++pressed;
        return AXStatus::success;
    };
    EXPECT_TRUE(press());
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(world.desktop.callsStartingWith("ax.action"),
              std::vector<std::string>{"ax.action menuitem:10/1/1 AXPress"});
}

TEST_F(NewWindowOpenerTest, NothingIsPressedWhenTheWayIsBlocked) {
    struct Case {
        const char* name;
        std::function<void()> script;
        std::string bundleID = "org.example.editor";
        bool pressAttempted = false;
    };
    const std::vector<Case> cases = {
        {"not running", [] {}, "org.example.absent"},
        {"not trusted", [&] { world.desktop.trusted = false; }},
        {"no menu bar", [&] { world.desktop.application(10)->hasMenuBar = false; }},
        {"no matching item", [&] { world.desktop.application(10)->menus.pop_back(); }},
        {"the press is rejected",
         [&] {
             world.desktop.application(10)->menus[1].items[1].onPress = [] {
                 return AXStatus::cannotComplete;
             };
         },
         "org.example.editor", true},
        {"an application that does not answer",
         [&] { world.desktop.application(10)->responsive = false; }},
    };
    auto& app = *world.desktop.application(10);
    const auto menus = app.menus;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.script();
        EXPECT_FALSE(press(c.bundleID));
        EXPECT_EQ(world.desktop.countCalls("ax.action"), c.pressAttempted ? 1u : 0u);
        world.desktop.trusted = true;
        app.menus = menus;
        app.hasMenuBar = true;
        app.responsive = true;
        world.desktop.clearCalls();
    }
}

TEST_F(NewWindowOpenerTest, LaunchingOpensOnlyAnInstalledApplication) {
    world.desktop.installedApplications["org.example.editor"] = "/Applications/Editor.app";
    NewWindowOpener::launch(world.context, "org.example.editor");
    NewWindowOpener::launch(world.context, "org.example.absent");
    EXPECT_EQ(world.desktop.callsStartingWith("ws.openApplication"),
              std::vector<std::string>{"ws.openApplication /Applications/Editor.app activates"});
}

}  // namespace
}  // namespace vorn
