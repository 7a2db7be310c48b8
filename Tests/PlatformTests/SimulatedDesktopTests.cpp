#include <gtest/gtest.h>

#include "SimulatedDesktop.h"

namespace vorn::platform::sim {
namespace {

using namespace std::chrono_literals;

class SimulatedDesktopTest : public ::testing::Test {
protected:
    SimulatedDesktopTest()
        : services(desktop.services()) {
        desktop.addDisplay({.id = 1, .bounds = Rect(0, 0, 1920, 1080), .name = "Main"});
        desktop.addApplication({.pid = 10, .bundleId = "org.example.editor", .name = "Editor"});
    }

    Element windowElement(std::uint32_t number) { return desktop.windowElement(number); }

    std::optional<Rect> readFrame(const Element& element) {
        auto position = services.accessibility.copyAttributeValue(element, ax::position);
        auto size = services.accessibility.copyAttributeValue(element, ax::size);
        if (!position.value || !size.value) {
            return std::nullopt;
        }
        const Point p = *position.value->asPoint();
        const Size s = *size.value->asSize();
        return Rect(p.x, p.y, s.width, s.height);
    }

    void move(const Element& element, const Rect& frame) {
        EXPECT_EQ(services.accessibility.setAttributeValue(element, ax::position,
                                                           Value::point(frame.origin)),
                  AXStatus::success);
        EXPECT_EQ(
            services.accessibility.setAttributeValue(element, ax::size, Value::size(frame.size)),
            AXStatus::success);
    }

    SimulatedDesktop desktop;
    Services services;
};

TEST_F(SimulatedDesktopTest, WindowsAnswerMovesAsScripted) {
    const Rect start(0, 0, 500, 400);
    const Rect asked(100, 50, 800, 600);
    struct Case {
        const char* name;
        MoveBehaviour move;
        Rect atOnce;
        Rect after100ms;
    };
    const Rect stop(40, 20, 640, 480);
    const std::vector<Case> cases = {
        {"immediate", MoveBehaviour::immediate, asked, asked},
        {"late", MoveBehaviour::late, start, asked},
        {"partway", MoveBehaviour::partway, stop, stop},
        {"clamped", MoveBehaviour::clamped, Rect(100, 50, 900, 600), Rect(100, 50, 900, 600)},
        {"never", MoveBehaviour::never, start, start},
    };
    std::uint32_t number = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.addWindow({.number = number,
                           .owner = 10,
                           .frame = start,
                           .move = c.move,
                           .lateBy = 50ms,
                           .stopFrame = stop,
                           .minimumSize = Size{900, 300}});
        const Element element = windowElement(number);
        ASSERT_NE(element, nullptr);
        move(element, asked);
        EXPECT_EQ(readFrame(element), c.atOnce);
        desktop.clock().advanceBy(100ms);
        EXPECT_EQ(readFrame(element), c.after100ms);
        ++number;
    }
}

TEST_F(SimulatedDesktopTest, UnresponsiveApplicationsCostTheMessagingTimeout) {
    desktop.addWindow({.number = 5, .owner = 10, .frame = Rect(0, 0, 300, 300)});
    const Element element = windowElement(5);
    desktop.application(10)->responsive = false;
    auto& accessibility = services.accessibility;

    auto start = desktop.clock().now();
    EXPECT_EQ(accessibility.copyAttributeValue(element, ax::title).status,
              AXStatus::cannotComplete);
    EXPECT_EQ(desktop.clock().now() - start, SimulatedDesktop::defaultMessagingTimeout);

    ASSERT_EQ(accessibility.setMessagingTimeout(accessibility.systemWideElement(), 1.0),
              AXStatus::success);
    start = desktop.clock().now();
    EXPECT_EQ(accessibility.performAction(element, ax::raiseAction), AXStatus::cannotComplete);
    EXPECT_EQ(desktop.clock().now() - start, 1s);
    EXPECT_EQ(accessibility.setMessagingTimeout(accessibility.systemWideElement(), -1),
              AXStatus::illegalArgument);
}

TEST_F(SimulatedDesktopTest, ElementsOfClosedWindowsAndUntrustedProcessesFail) {
    desktop.addWindow({.number = 5, .owner = 10, .frame = Rect(0, 0, 300, 300)});
    const Element element = windowElement(5);
    desktop.closeWindow(5);
    EXPECT_EQ(services.accessibility.copyAttributeValue(element, ax::title).status,
              AXStatus::invalidElement);
    EXPECT_EQ(services.accessibility
                  .copyAttributeValue(services.accessibility.applicationElement(99), ax::windows)
                  .status,
              AXStatus::invalidElement);

    desktop.trusted = false;
    EXPECT_EQ(services.accessibility
                  .copyAttributeValue(services.accessibility.applicationElement(10), ax::windows)
                  .status,
              AXStatus::notTrusted);
    desktop.trustedAfterPrompt = true;
    EXPECT_FALSE(services.accessibility.promptForTrust());
    EXPECT_TRUE(services.accessibility.isProcessTrusted());
}

TEST_F(SimulatedDesktopTest, WindowListFollowsStackingAndOptions) {
    desktop.addApplication({.pid = 20});  // no bundle identifier, no name
    desktop.addWindow({.number = 1, .owner = 10, .frame = Rect(0, 0, 100, 100)});
    desktop.addWindow({.number = 2, .owner = 20, .frame = Rect(5, 6, 70, 80), .alpha = 0.5});
    desktop.addWindow({.number = 3, .owner = 10, .frame = Rect(0, 0, 100, 100), .minimized = true});
    desktop.addWindow({.number = 4, .owner = 10, .onOtherDesktop = true});
    desktop.addWindow({.number = 5, .owner = 10, .layer = -2147483624, .desktopElement = true});

    auto numbers = [&](std::uint32_t options) {
        std::vector<std::int64_t> found;
        auto list = services.windowServer.copyWindowList(options, 0);
        for (const Value& entry : *list->asArray()) {
            found.push_back(*entry.member(windowkey::number)->asInt64());
        }
        return found;
    };
    EXPECT_EQ(numbers(windowlist::onScreenOnly | windowlist::excludeDesktopElements),
              (std::vector<std::int64_t>{2, 1}));
    EXPECT_EQ(numbers(windowlist::excludeDesktopElements), (std::vector<std::int64_t>{4, 3, 2, 1}));
    EXPECT_EQ(numbers(0), (std::vector<std::int64_t>{5, 4, 3, 2, 1}));

    auto list = services.windowServer.copyWindowList(windowlist::onScreenOnly, 0);
    const Value& nameless = list->asArray()->at(1);
    EXPECT_EQ(nameless.member(windowkey::ownerName), nullptr);
    EXPECT_EQ(*nameless.member(windowkey::alpha), Value::real(0.5));
    EXPECT_EQ(*nameless.member(windowkey::bounds),
              Value::dictionary({{"X", Value::real(5)},
                                 {"Y", Value::real(6)},
                                 {"Width", Value::real(70)},
                                 {"Height", Value::real(80)}}));
    EXPECT_EQ(*list->asArray()->at(0).member(windowkey::ownerName), Value::string("Editor"));

    desktop.windowListHook = [](std::uint32_t, Value) { return std::nullopt; };
    EXPECT_FALSE(services.windowServer.copyWindowList(0, 0));
    EXPECT_EQ(desktop.callsStartingWith("windowList"),
              (std::vector<std::string>{"windowList options=0x11", "windowList options=0x10",
                                        "windowList options=0x0", "windowList options=0x1",
                                        "windowList options=0x0"}));
}

TEST_F(SimulatedDesktopTest, ScreensUseBottomLeftCoordinatesOfThePrimaryDisplay) {
    desktop.display(1)->menuBarHeight = 25;
    desktop.display(1)->dockHeight = 70;
    desktop.addDisplay({.id = 2, .bounds = Rect(1920, -200, 1280, 1024), .name = "Side"});
    desktop.addDisplay({.id = 3, .bounds = Rect(-800, 0, 800, 600), .hasScreen = false});

    auto screens = services.screens.screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(screens[0].visibleFrame, Rect(0, 70, 1920, 985));
    EXPECT_EQ(screens[1].frame, Rect(1920, 256, 1280, 1024));
    EXPECT_EQ(*screens[1].deviceDescription.member(screenkey::screenNumber), Value::integer(2));

    desktop.mainDisplay = 2;
    EXPECT_EQ(services.screens.mainScreen()->localizedName, "Side");
    std::uint32_t ids[3];
    EXPECT_EQ(services.windowServer.getActiveDisplayList(ids).count, 3u);
}

TEST_F(SimulatedDesktopTest, DisplayListAnswersAreTakenOnePerCall) {
    desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1280, 1024)});
    desktop.displayListAnswers = {{0, {7, 8, 9}}, {-1, {}}};
    std::uint32_t ids[2] = {0, 0};
    EXPECT_EQ(services.windowServer.getActiveDisplayList({}).count, 3u);
    EXPECT_EQ(services.windowServer.getActiveDisplayList(ids).error, -1);
    const auto real = services.windowServer.getActiveDisplayList(ids);
    EXPECT_EQ(real.count, 2u);
    EXPECT_EQ(ids[0], 1u);
    EXPECT_EQ(ids[1], 2u);
}

TEST_F(SimulatedDesktopTest, FrontingActivatesAndNotifiesObserversThroughTheRunLoop) {
    desktop.addApplication({.pid = 20, .bundleId = "org.example.viewer", .name = "Viewer"});
    desktop.addWindow({.number = 1, .owner = 10});
    desktop.addWindow({.number = 2, .owner = 20});
    desktop.addWindow({.number = 3, .owner = 10});

    std::vector<std::string> events;
    const Subscription kept = services.workspace.addObserver(
        WorkspaceNotification::didActivateApplication, [&](const WorkspaceEvent& event) {
            events.push_back("activated " + event.application->bundleIdentifier.value_or("?"));
        });
    Subscription removed = services.workspace.addObserver(
        WorkspaceNotification::didActivateApplication,
        [&](const WorkspaceEvent&) { events.push_back("removed observer"); });

    auto processForPID =
        lookUp<entrypoint::ProcessForPID>(services.loader, entrypoint::processForPID);
    auto setFront =
        lookUp<entrypoint::SetFrontProcess>(services.loader, entrypoint::setFrontProcess);
    ProcessSerialNumber psn;
    EXPECT_NE((*processForPID)(99, psn), 0);
    ASSERT_EQ((*processForPID)(10, psn), 0);
    ASSERT_EQ((*setFront)(psn, 1, 0x200), 0);
    removed.reset();

    EXPECT_EQ(desktop.frontmostApplication(), 10);
    EXPECT_EQ(desktop.stackingOrder(), (std::vector<std::uint32_t>{1, 3, 2}));
    EXPECT_TRUE(events.empty());
    desktop.runLoop().drain();
    EXPECT_EQ(events, (std::vector<std::string>{"activated org.example.editor"}));

    desktop.frontingStatus = 1000;
    EXPECT_EQ((*setFront)(psn, 3, 0x200), 1000);
    EXPECT_EQ(desktop.stackingOrder().front(), 1u);
}

TEST_F(SimulatedDesktopTest, TerminationNamesTheApplicationThatQuit) {
    desktop.addWindow({.number = 1, .owner = 10});
    std::optional<RunningApplication> quit;
    const Subscription subscription = services.workspace.addObserver(
        WorkspaceNotification::didTerminateApplication,
        [&](const WorkspaceEvent& event) { quit = event.application; });
    desktop.terminateApplication(10);
    desktop.runLoop().drain();
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->pid, 10);
    EXPECT_EQ(desktop.window(1), nullptr);
    EXPECT_FALSE(services.workspace.runningApplication(10));
}

TEST(SimulatedWorkspaceTests, ASubscriptionMayOutliveItsDesktop) {
    Subscription subscription;
    {
        SimulatedDesktop desktop;
        subscription = desktop.services().workspace.addObserver(
            WorkspaceNotification::windowsDidChange, [](const WorkspaceEvent&) {});
    }
    subscription.reset();
    EXPECT_FALSE(subscription.active());
}

TEST_F(SimulatedDesktopTest, MenusAreReadAndPressedThroughTheirElements) {
    int presses = 0;
    desktop.application(10)->menus = {{"File",
                                       {{.title = "New Window",
                                         .cmdChar = "N",
                                         .cmdModifiers = 0,
                                         .enabled = true,
                                         .onPress =
                                             [&] {
                                                 ++presses;
                                                 return AXStatus::success;
                                             }},
                                        {.title = "Close"}}}};
    auto& accessibility = services.accessibility;
    auto bar = accessibility.copyAttributeValue(accessibility.applicationElement(10), ax::menuBar);
    ASSERT_TRUE(bar.value);
    auto items = accessibility.copyAttributeValue(*bar.value->asElement(), ax::children);
    ASSERT_EQ(items.value->asArray()->size(), 1u);
    auto menus =
        accessibility.copyAttributeValue(*items.value->asArray()->at(0).asElement(), ax::children);
    auto entries =
        accessibility.copyAttributeValue(*menus.value->asArray()->at(0).asElement(), ax::children);
    ASSERT_EQ(entries.value->asArray()->size(), 2u);
    const Element newWindow = *entries.value->asArray()->at(0).asElement();
    const Element close = *entries.value->asArray()->at(1).asElement();

    EXPECT_EQ(*accessibility.copyAttributeValue(newWindow, ax::menuItemCmdChar).value,
              Value::string("N"));
    EXPECT_EQ(accessibility.copyAttributeValue(close, ax::enabled).status, AXStatus::noValue);
    EXPECT_EQ(accessibility.performAction(newWindow, ax::pressAction), AXStatus::success);
    EXPECT_EQ(presses, 1);

    desktop.application(10)->hasMenuBar = false;
    EXPECT_FALSE(
        accessibility.copyAttributeValue(accessibility.applicationElement(10), ax::menuBar).value);
}

}  // namespace
}  // namespace vorn::platform::sim
