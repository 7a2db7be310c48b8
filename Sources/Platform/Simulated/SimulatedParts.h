#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "SimulatedDesktop.h"

namespace vorn::platform::sim {

// An accessibility element of the simulated desktop. Elements name what they stand for; each
// request looks it up again, so an element outlives its window and then fails.
struct SimElement final : ElementToken {
    enum class Kind {
        systemWide,
        application,
        window,
        menuBar,
        menuBarItem,
        menu,
        menuItem
    };

    Kind kind = Kind::systemWide;
    std::int32_t pid = 0;
    std::uint32_t window = 0;
    std::size_t menu = 0;
    std::size_t item = 0;

    std::string description() const;
};

const SimElement* simElement(const Element& element);

class SimulatedWindowServer final : public WindowServer {
public:
    explicit SimulatedWindowServer(SimulatedDesktop& desktop)
        : m_desktop(desktop) {}

    std::optional<Value> copyWindowList(std::uint32_t options,
                                        std::uint32_t relativeToWindow) override;
    DisplayListReply getActiveDisplayList(std::span<std::uint32_t> buffer) override;
    std::optional<Rect> displayBounds(std::uint32_t display) override;
    std::optional<std::string> displayUUID(std::uint32_t display) override;
    std::optional<DisplayIdentity> displayIdentity(std::uint32_t display) override;
    std::optional<DisplayNames> displayNames(std::uint32_t display) override;
    std::optional<Value> copySessionDictionary() override;
    std::optional<std::string> sessionIdentity() override;
    std::optional<WindowIcon> windowIcon(std::uint32_t window, std::uint32_t side) override;

private:
    SimulatedDesktop& m_desktop;
};

class SimulatedAccessibility final : public Accessibility {
public:
    explicit SimulatedAccessibility(SimulatedDesktop& desktop)
        : m_desktop(desktop) {}

    bool isProcessTrusted() override;
    bool promptForTrust() override;
    Element systemWideElement() override;
    Element applicationElement(std::int32_t pid) override;
    AXReply<Value> copyAttributeValue(const Element& element, std::string_view attribute) override;
    AXStatus setAttributeValue(const Element& element,
                               std::string_view attribute,
                               const Value& value) override;
    AXReply<bool> isAttributeSettable(const Element& element, std::string_view attribute) override;
    AXStatus performAction(const Element& element, std::string_view action) override;
    AXStatus setMessagingTimeout(const Element& element, double seconds) override;

private:
    // Charges the request's time to the clock; false when the application does not answer.
    AXStatus reach(const SimElement& element);
    AXReply<Value> readApplication(const SimElement& element, std::string_view attribute);
    AXReply<Value> readWindow(const SimElement& element, std::string_view attribute);
    AXReply<Value> readMenu(const SimElement& element, std::string_view attribute);
    const SimMenuItem* menuItem(const SimElement& element);

    SimulatedDesktop& m_desktop;
};

class SimulatedWorkspace final : public Workspace {
public:
    explicit SimulatedWorkspace(SimulatedDesktop& desktop)
        : m_desktop(desktop) {}

    std::vector<RunningApplication> runningApplications(std::string_view bundleId) override;
    std::optional<RunningApplication> runningApplication(std::int32_t pid) override;
    std::optional<Date> launchDate(std::int32_t pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    bool activateApplication(std::int32_t pid) override;
    std::optional<std::string> urlForApplication(std::string_view bundleId) override;
    void openApplication(const std::string& applicationURL, OpenConfiguration config) override;
    void openURLs(const std::vector<std::string>& urls,
                  const std::string& applicationURL,
                  OpenConfiguration config) override;
    bool isVoiceOverEnabled() override;
    bool notifiesEveryWindowChange() override;
    ObserverToken addObserver(WorkspaceNotification name,
                              std::function<void(const WorkspaceEvent&)> observer) override;
    void removeObserver(ObserverToken token) override;

    // Delivers the event, through the run loop, to the observers registered for its name.
    void deliver(const WorkspaceEvent& event);

private:
    struct Observer {
        WorkspaceNotification name;
        std::function<void(const WorkspaceEvent&)> callback;
    };

    SimulatedDesktop& m_desktop;
    std::map<ObserverToken, Observer> m_observers;
    ObserverToken m_nextToken = 1;
};

class SimulatedScreens final : public Screens {
public:
    explicit SimulatedScreens(SimulatedDesktop& desktop)
        : m_desktop(desktop) {}

    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;

private:
    SimulatedDesktop& m_desktop;
};

class SimulatedLoader final : public EntryPointLoader {
public:
    explicit SimulatedLoader(SimulatedDesktop& desktop);

    bool openLibrary(std::string_view path) override;
    std::shared_ptr<const EntryPoint> findEntryPoint(std::string_view name) override;

private:
    SimulatedDesktop& m_desktop;
    std::map<std::string, std::shared_ptr<const EntryPoint>, std::less<>> m_entryPoints;
};

class SimulatedProcessInfo final : public ProcessInfo {
public:
    explicit SimulatedProcessInfo(SimulatedDesktop& desktop)
        : m_desktop(desktop) {}

    std::int32_t processIdentifier() override;
    std::optional<std::uint32_t> auditSessionID() override;

private:
    SimulatedDesktop& m_desktop;
};

class SimulatedDesktop::Parts {
public:
    explicit Parts(SimulatedDesktop& desktop)
        : windowServer(desktop)
        , accessibility(desktop)
        , workspace(desktop)
        , screens(desktop)
        , loader(desktop)
        , process(desktop) {}

    SimulatedWindowServer windowServer;
    SimulatedAccessibility accessibility;
    SimulatedWorkspace workspace;
    SimulatedScreens screens;
    SimulatedLoader loader;
    SimulatedProcessInfo process;
};

}  // namespace vorn::platform::sim
