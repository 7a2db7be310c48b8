#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include <xcb/xcb.h>

#include "DocumentResolver.h"
#include "ProcessInfo.h"
#include "Services.h"
#include "UsableArea.h"
#include "WindowActions.h"
#include "X11Desktop.h"

namespace vorn::platform::x11 {

// An accessibility element of the X11 backend. A window element names the window and the
// process it belonged to when it was made: a window number that another process reuses no
// longer answers for it.
struct X11Element final : ElementToken {
    enum class Kind {
        systemWide,
        application,
        window
    };

    Kind kind = Kind::systemWide;
    std::int32_t pid = 0;
    xcb_window_t window = XCB_NONE;
};

const X11Element* x11Element(const Element& element);
Element makeWindowElement(std::int32_t pid, xcb_window_t window);

class X11WindowServer final : public WindowServer {
public:
    explicit X11WindowServer(X11Desktop& desktop)
        : m_desktop(desktop) {}

    std::optional<Value> copyWindowList(std::uint32_t options,
                                        std::uint32_t relativeToWindow) override;
    DisplayListReply getActiveDisplayList(std::span<std::uint32_t> buffer) override;
    std::optional<Rect> displayBounds(std::uint32_t display) override;
    std::optional<std::string> displayUUID(std::uint32_t display) override;
    std::optional<DisplayIdentity> displayIdentity(std::uint32_t display) override;
    // The RandR outputs' connector names, joined by "+", and the monitor's name.
    std::optional<DisplayNames> displayNames(std::uint32_t display) override;
    std::optional<Value> copySessionDictionary() override;
    // Read once: one connection talks to one run of one server.
    std::optional<std::string> sessionIdentity() override;
    // _NET_WM_ICON, with one round trip; a damaged property gives a log line.
    std::optional<WindowIcon> windowIcon(std::uint32_t window, std::uint32_t side) override;

private:
    std::optional<Monitors> monitors();

    X11Desktop& m_desktop;
    std::optional<std::string> m_sessionIdentity;
};

class X11Accessibility final : public Accessibility {
public:
    // The recently-used list tells windows' documents; an empty path means none.
    X11Accessibility(X11Desktop& desktop, std::filesystem::path recentlyUsedFile)
        : m_desktop(desktop)
        , m_documents(desktop.runLoop(), std::move(recentlyUsedFile)) {
        // Listings are kept until the desktop reports a change; a window's document can change
        // without one.
        m_documents.recentlyUsed().onChange([&desktop] { desktop.events().windowsChanged(); });
    }

    bool isProcessTrusted() override { return true; }
    bool promptForTrust() override { return true; }
    Element systemWideElement() override;
    Element applicationElement(std::int32_t pid) override;
    AXReply<Value> copyAttributeValue(const Element& element, std::string_view attribute) override;
    AXStatus setAttributeValue(const Element& element,
                               std::string_view attribute,
                               const Value& value) override;
    AXReply<bool> isAttributeSettable(const Element& element, std::string_view attribute) override;
    AXStatus performAction(const Element& element, std::string_view action) override;
    // Kept, though nothing here waits on another application.
    AXStatus setMessagingTimeout(const Element& element, double seconds) override;

private:
    AXReply<Value> readApplication(const X11Element& element, std::string_view attribute);
    AXReply<Value> readWindow(const X11Element& element, std::string_view attribute);
    AXReply<Value> readDocument(const X11Element& element);
    AXStatus setFrame(const X11Element& element, std::string_view attribute, const Value& value);
    AXStatus setMinimized(const X11Element& element, bool minimized);

    X11Desktop& m_desktop;
    std::map<std::int32_t, double> m_timeouts;
    DocumentResolver m_documents;
    // The client list the resolver last forgot gone windows for.
    std::optional<std::uint64_t> m_documentsClientList;
};

class X11Workspace final : public Workspace {
public:
    explicit X11Workspace(X11Desktop& desktop)
        : m_desktop(desktop) {}

    std::vector<RunningApplication> runningApplications(std::string_view bundleId) override;
    std::optional<RunningApplication> runningApplication(std::int32_t pid) override;
    // From the kernel's record of the process; none for a process listed under its class.
    std::optional<Date> launchDate(std::int32_t pid) override;
    // The owner of the window manager's active window.
    std::optional<RunningApplication> frontmostApplication() override;
    bool activateApplication(std::int32_t pid) override;
    std::optional<std::string> urlForApplication(std::string_view bundleId) override;
    // Starts a new instance from the desktop entry: on X11 that is how an application opens a
    // new window.
    void openApplication(const std::string& applicationURL, OpenConfiguration config) override;
    void openURLs(const std::vector<std::string>& urls,
                  const std::string& applicationURL,
                  OpenConfiguration config) override;
    bool isVoiceOverEnabled() override { return false; }
    // Every change of what a listing reads arrives as an event.
    bool notifiesEveryWindowChange() override { return true; }
    ObserverToken addObserver(WorkspaceNotification name,
                              std::function<void(const WorkspaceEvent&)> observer) override;
    void removeObserver(ObserverToken token) override;

private:
    const DesktopEntry* entryOf(const std::string& applicationURL);
    void launch(const DesktopEntry& entry, const std::vector<std::string>& documents);

    X11Desktop& m_desktop;
};

class X11Screens final : public Screens {
public:
    explicit X11Screens(X11Desktop& desktop)
        : m_desktop(desktop) {}

    std::vector<Screen> screens() override;
    // The primary monitor's: the one display settings and other programs call main.
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;

private:
    // Logs struts that were not honoured and displays left without a usable area, once each.
    void noteUsableArea(const std::string& display,
                        const UsableArea& usable,
                        const std::vector<Strut>& struts,
                        const std::vector<xcb_window_t>& declaredBy);

    X11Desktop& m_desktop;
    std::map<xcb_atom_t, std::string> m_monitorNames;
    std::map<std::string, std::set<std::pair<xcb_window_t, std::string>>> m_ignoredStruts;
    std::set<std::string> m_emptyAreas;
};

// The focus entry points, done the X11 way: an element's window number is its window id, and
// bringing a process forward with a window asks the window manager to activate and raise it.
// No library needs opening.
class X11Loader final : public EntryPointLoader {
public:
    explicit X11Loader(X11Desktop& desktop);

    bool openLibrary(std::string_view path) override;
    std::shared_ptr<const EntryPoint> findEntryPoint(std::string_view name) override;

private:
    std::map<std::string, std::shared_ptr<const EntryPoint>, std::less<>> m_entryPoints;
};

class X11Parts {
public:
    X11Parts(X11Desktop& desktop, std::filesystem::path recentlyUsedFile)
        : windowServer(desktop)
        , accessibility(desktop, std::move(recentlyUsedFile))
        , workspace(desktop)
        , screens(desktop)
        , loader(desktop) {}

    X11WindowServer windowServer;
    X11Accessibility accessibility;
    X11Workspace workspace;
    X11Screens screens;
    X11Loader loader;
    SystemProcessInfo process;
};

// Where a window stands for a process that is to act on it.
enum class Standing {
    managed,          // a managed window of the process
    noWindowManager,  // no window manager runs, so nothing is managed
    notManaged,       // gone, or not (yet) in the client list
    otherProcess,     // managed, but another process's now
};
std::string_view standingName(Standing standing);
// Asks the server afresh; one round trip.
Standing standingOf(X11Desktop& desktop,
                    const Connection& connection,
                    xcb_window_t window,
                    std::int32_t pid);
bool isManagedWindowOf(X11Desktop& desktop,
                       const Connection& connection,
                       xcb_window_t window,
                       std::int32_t pid);
// Asks the window manager to activate the window with the right time; false without a time.
bool activateWindow(X11Desktop& desktop, xcb_window_t window);

}  // namespace vorn::platform::x11
