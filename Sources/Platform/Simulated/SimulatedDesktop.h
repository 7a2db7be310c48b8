#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Services.h"
#include "SimulatedClock.h"
#include "SimulatedRunLoop.h"

namespace vorn::platform::sim {

using AttributeMap = std::map<std::string, Value, std::less<>>;
using AttributeSet = std::set<std::string, std::less<>>;

struct SimMenuItem {
    // An absent field is an attribute the item does not have.
    std::optional<std::string> title{};
    std::optional<std::string> cmdChar{};
    std::optional<std::int64_t> cmdModifiers{};
    std::optional<bool> enabled{};
    // What pressing it does; by default it succeeds and does nothing.
    std::function<AXStatus()> onPress{};
};

struct SimMenu {
    std::string title{};
    std::vector<SimMenuItem> items{};
};

struct SimApplication {
    std::int32_t pid = 0;
    std::optional<std::string> bundleId{};
    std::optional<std::string> name{};
    // Where the application is installed; registers it for launching by bundle identifier.
    std::optional<std::string> applicationURL{};
    // An unresponsive application answers every request with cannotComplete after the
    // messaging timeout.
    bool responsive = true;
    // Virtual time each request to the application takes.
    Duration responseTime{};
    // Absent: the application has no such attribute.
    std::optional<bool> enhancedUserInterface{};
    bool hasMenuBar = true;
    std::vector<SimMenu> menus{};
    std::optional<std::uint32_t> focusedWindow{};
    AttributeMap attributeOverrides{};
    // When the process started, by the wall clock; by default when it was added.
    std::optional<Date> launchDate{};
};

// How a window answers writes of its position and size.
enum class MoveBehaviour {
    immediate,  // applies each write at once
    late,       // applies each write lateBy after it was made
    partway,    // goes to stopFrame, whatever was asked
    clamped,    // applies positions, but never becomes smaller than minimumSize
    never       // accepts writes and ignores them
};

struct SimWindow {
    std::uint32_t number = 0;
    std::int32_t owner = 0;
    std::string title{};
    std::optional<std::string> document{};
    std::optional<Value> url{};  // the "AXURL" value, of any kind
    Rect frame{};                // top-left coordinates
    std::int64_t layer = 0;
    std::optional<double> alpha = 1.0;
    bool minimized = false;
    bool onOtherDesktop = false;
    bool desktopElement = false;
    // Listed among its application's accessibility windows.
    bool accessible = true;
    bool resizable = true;
    std::string subrole = std::string(ax::standardWindowSubrole);
    // The window-number entry point fails for this window.
    bool windowNumberFails = false;
    MoveBehaviour move = MoveBehaviour::immediate;
    Duration lateBy{};
    Rect stopFrame{};
    Size minimumSize{};
    // Attributes answered as given, before anything else.
    AttributeMap attributeOverrides{};
    // Attributes whose reads fail.
    AttributeSet failingAttributes{};
    // The pictures the window carries of itself, in any sizes.
    std::vector<WindowIcon> icons{};
};

struct SimDisplay {
    std::uint32_t id = 0;
    Rect bounds{};  // top-left coordinates; the first display is the primary one
    std::string name{};
    std::optional<std::string> uuid{};
    std::optional<DisplayIdentity> identity{};
    DisplayNames names{};
    double menuBarHeight = 0;
    double dockHeight = 0;
    // Replaces the screen's default device description, {"NSScreenNumber": id}.
    std::optional<Value> deviceDescription{};
    bool hasScreen = true;
};

// One scripted answer of the active display list.
struct DisplayListAnswer {
    std::int32_t error = 0;
    std::vector<std::uint32_t> displays{};
};

struct FrontCall {
    ProcessSerialNumber psn{};
    std::uint32_t windowID = 0;
    std::uint32_t options = 0;
};

struct PostedRecord {
    ProcessSerialNumber psn{};
    EventRecord record{};
};

// One consistent in-memory desktop serving every platform interface: applications, windows,
// displays, focus and stacking on a virtual clock. Tests build and script it through the members
// below and read back the calls it received, in order. Main thread only, except the run loop's
// post().
class SimulatedDesktop {
public:
    static constexpr std::int32_t ownPIDDefault = 4000;
    static constexpr Duration defaultMessagingTimeout = std::chrono::seconds(6);

    SimulatedDesktop();
    ~SimulatedDesktop();
    SimulatedDesktop(const SimulatedDesktop&) = delete;
    SimulatedDesktop& operator=(const SimulatedDesktop&) = delete;

    Services services();
    SimulatedClock& clock() { return m_clock; }
    SimulatedRunLoop& runLoop() { return m_runLoop; }

    // --- Building the world ---
    SimApplication& addApplication(SimApplication app);
    // Adds the window in front of all others.
    SimWindow& addWindow(SimWindow window);
    SimDisplay& addDisplay(SimDisplay display);
    SimApplication* application(std::int32_t pid);
    SimWindow* window(std::uint32_t number);
    SimDisplay* display(std::uint32_t id);
    void removeDisplay(std::uint32_t id);

    // --- What happens on the desktop ---
    // Closes the window.
    void closeWindow(std::uint32_t number);
    // Adds the application and announces its launch.
    SimApplication& launchApplication(SimApplication app);
    // Closes its windows, removes it and announces the termination.
    void terminateApplication(std::int32_t pid);
    // Makes the application frontmost, brings the window (else its focused window) to the front
    // and focuses it, and announces the activation.
    void activateApplication(std::int32_t pid, std::optional<std::uint32_t> window = std::nullopt);
    // Announces a change of the active desktop.
    void switchDesktop();
    void raiseWindow(std::uint32_t number);
    // Front to back.
    const std::vector<std::uint32_t>& stackingOrder() const { return m_stack; }
    // The accessibility element of the window as its application lists it, made without a
    // request; null for an unknown window.
    Element windowElement(std::uint32_t number);
    std::optional<std::int32_t> frontmostApplication() const { return m_frontmost; }

    // --- Scripts ---
    // Sees every window list before it is handed out and may change or replace it; no value
    // makes the list fail.
    std::function<std::optional<Value>(std::uint32_t options, Value list)> windowListHook;
    // Answers of the active display list, taken one per call; when empty the displays answer.
    std::deque<DisplayListAnswer> displayListAnswers;
    // No value: there is no login session.
    std::optional<Value> sessionDictionary;
    void setSession(bool locked, bool onConsole);

    bool trusted = true;
    bool trustedAfterPrompt = true;
    bool voiceOver = false;
    // Whether the workspace claims to notify of every window change; it does not check it.
    bool notifiesEveryWindowChange = false;
    std::int32_t ownPID = ownPIDDefault;
    std::optional<std::uint32_t> auditSessionID = 100001;
    // What the window server answers for its session; no value: it cannot tell.
    std::optional<std::string> sessionIdentity = "sim:session-1";
    Point mouseLocation;
    // The display of the main screen; the first screen when absent.
    std::optional<std::uint32_t> mainDisplay;
    // Entry points that cannot be found, and libraries that cannot be opened.
    std::set<std::string, std::less<>> missingEntryPoints;
    std::set<std::string, std::less<>> unopenableLibraries;
    // The status the fronting entry point answers with; anything but 0 leaves everything as is.
    std::int32_t frontingStatus = 0;
    // Bundle identifier to the URL it is installed at.
    std::map<std::string, std::string, std::less<>> installedApplications;
    // Run when the workspace is asked to open an application or documents; by default opening a
    // running application activates it and opening documents does nothing.
    std::function<void(const std::string& applicationURL)> onOpenApplication;
    std::function<void(const std::vector<std::string>& urls, const std::string& applicationURL)>
        onOpenURLs;

    // --- Records ---
    const std::vector<std::string>& calls() const { return m_calls; }
    // Records that begin with the prefix, in order.
    std::vector<std::string> callsStartingWith(std::string_view prefix) const;
    std::size_t countCalls(std::string_view prefix) const;
    void clearCalls();
    std::vector<FrontCall> frontCalls;
    std::vector<PostedRecord> postedRecords;
    int promptCount = 0;
    // The messaging timeout set on the system-wide element, in seconds.
    std::optional<double> systemMessagingTimeout;

    // Used by the interface implementations.
    void record(std::string call);
    // The window is the one an activation names, as platforms that know it do.
    void notify(WorkspaceNotification name,
                std::optional<std::int32_t> pid,
                std::optional<std::uint32_t> window = std::nullopt);
    std::optional<RunningApplication> runningApplication(std::int32_t pid) const;
    std::vector<std::int32_t> applicationOrder() const { return m_appOrder; }
    std::vector<std::uint32_t> accessibleWindows(std::int32_t pid) const;
    Value windowList(std::uint32_t options) const;
    std::vector<Screen> screens() const;
    std::vector<std::uint32_t> displayIDs() const;
    // What each write of a window's position or size does.
    AXStatus writeFrameAttribute(SimWindow& window, std::string_view attribute, const Value& value);
    Duration messagingTimeout(std::int32_t pid) const;
    void setApplicationMessagingTimeout(std::int32_t pid, double seconds);

private:
    class Parts;

    void applyFrameWrite(SimWindow& window, std::string_view attribute, const Value& value);

    SimulatedClock m_clock;
    SimulatedRunLoop m_runLoop;
    std::map<std::int32_t, SimApplication> m_apps;
    std::vector<std::int32_t> m_appOrder;
    std::map<std::uint32_t, SimWindow> m_windows;
    std::vector<std::uint32_t> m_stack;
    std::deque<SimDisplay> m_displays;  // references stay valid as displays are added
    std::optional<std::int32_t> m_frontmost;
    std::map<std::int32_t, double> m_appTimeouts;
    std::vector<std::string> m_calls;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace vorn::platform::sim
