#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "AXWindow.h"
#include "MacWindowObserver.h"
#include "WindowEnumerator.h"
#include "WindowLayerContext.h"
#include "WindowManager.h"

namespace vorn {

// The window-manager contract over the platform layer, for the sidebar of one display: windows
// come from the window server and are matched to their accessibility windows, single windows are
// activated and moved through accessibility and the optional focus entry points, and changes
// come from its own observer. The core's bottom-left coordinates are converted to the platform's
// top-left ones here.
//
// Window numbers can be reused at once, so the manager remembers the owner (process and
// application) of every number it hands out; a number whose owner has changed since is gone for
// isAlive, activation, frame reads and frame setting until a listing hands it out again. The
// records of windows that no longer exist are dropped from time to time.
//
// Opening a new window or a document runs the main loop while it waits, and anything may happen
// meanwhile, the manager's own release included; made through create(), it keeps itself alive
// until the wait is over. Main thread only.
class MacWindowManager final : public WindowManager,
                               public std::enable_shared_from_this<MacWindowManager> {
public:
    // Applies to every accessibility request of the process.
    static constexpr double messagingTimeoutSeconds = 1.0;
    // The main loop runs in slices of at most this while a new window is awaited.
    static constexpr auto waitSlice = std::chrono::milliseconds(150);
    // How long a new window may take after a New Window menu item was pressed.
    static constexpr auto menuWindowTimeout = std::chrono::milliseconds(1000);
    // How long it may take after launching the application or opening a document.
    static constexpr auto launchWindowTimeout = std::chrono::milliseconds(1500);
    // How long a window may take to show a document the application was handed: an application
    // that starts with a file to load may be slower than that, and no other window is opened
    // in its place.
    static constexpr auto documentWindowTimeout = std::chrono::milliseconds(5000);
    // A process's start is known to a clock tick and a file's time to the kernel's coarse
    // clock: only a process started this many seconds before a save ran at the save.
    static constexpr double launchClockSlack = 0.05;

    // The manager for the sidebar on the display with that number; without one, windows of
    // every display are listed. Sets the process-wide messaging timeout. The context's parts
    // must outlive the manager.
    static std::shared_ptr<MacWindowManager> create(const WindowLayerContext& context,
                                                    std::optional<std::uint32_t> targetDisplayID);
    MacWindowManager(const WindowLayerContext& context,
                     std::optional<std::uint32_t> targetDisplayID);
    ~MacWindowManager() override;
    MacWindowManager(const MacWindowManager&) = delete;
    MacWindowManager& operator=(const MacWindowManager&) = delete;

    std::optional<std::uint32_t> targetDisplayID() const { return m_targetDisplayID; }

    bool hasAccessibilityPermission() override;
    bool requestAccessibilityPermission() override;
    std::optional<std::vector<WindowInfo>> listWindows() override;
    bool isOnCurrentScreen(WindowID window) override;
    std::optional<Rect> frame(WindowID window) override;
    bool isAlive(WindowID window) override;
    std::vector<WindowInfo> windows(const AppRef& ofApp) override;
    bool isResizable(WindowID window) override;
    ScreenArea currentScreenArea() override;
    // The focused window of the frontmost application, unless that is this process.
    std::optional<WindowID> focusedWindow() override;
    void activate(WindowID window) override;
    void setFrame(WindowID window, const Rect& frame) override;
    std::optional<WindowID> launchOrNewWindow(const AppRef& app) override;
    DocumentOpening openDocument(const std::string& path, const AppRef& app) override;
    std::string currentSessionToken() override;
    // By the window's owner as the window server names it and that process's launch date.
    bool mayBeSavedWindow(WindowID window, const AppRef& app, std::optional<Date> savedAt) override;
    // Starts the observer with the handler; meant to be called once.
    void observe(WindowChangeHandler handler) override;
    void stopObserving() override;
    // Rests the observer's poll only while its ticks would pass as unchanged: the last listing is
    // current and every change is notified.
    void setQuietTicks(std::optional<double> seconds) override;

private:
    struct WindowOwner {
        std::int32_t pid = 0;
        std::string bundleId;  // as AppRef writes it, "pid:" and the number when there is none

        friend bool operator==(const WindowOwner&, const WindowOwner&) = default;
    };
    // A window whose owner is known and unchanged; its accessibility window may be unknown.
    struct Resolved {
        std::int32_t pid = 0;
        std::optional<AXWindow> window;
    };
    struct Anchor {
        MacWindowManager* manager = nullptr;
    };

    // A process's accessibility windows, with the position of the first one of each window
    // number when numbers can be asked for.
    struct ProcessWindows {
        std::vector<AXWindow> windows;
        std::unordered_map<std::uint32_t, std::size_t> byNumber;
    };

    // Listing and matching.
    std::optional<std::vector<EnumeratedWindow>> currentScreenEnumerated();
    ProcessWindows processWindows(std::int32_t pid);
    std::optional<AXWindow> match(const EnumeratedWindow& window, const ProcessWindows& candidates);
    std::optional<AXWindow> nearest(const Rect& bounds, const std::vector<AXWindow>& candidates);
    AppRef appRef(std::int32_t pid, const std::string& fallbackName);
    std::string bundleOf(std::int32_t pid);
    void remember(WindowID window, const WindowOwner& owner, const std::optional<Rect>& bounds);
    // Where every window change is notified, a listing stays true until a notification.
    bool listingsAreReusable() const;
    // The last listing was made since the last notification and may be handed out again.
    bool listingIsCurrent() const;
    // Drops the records of windows the window server no longer has and no listing met for a
    // while, once the records outnumber the listed windows well.
    void forgetGoneWindows(std::size_t listed);
    static constexpr std::size_t forgetSlack = 64;
    static constexpr std::uint64_t forgetAfterListings = 8;

    // Single windows.
    std::optional<Resolved> resolve(WindowID window);
    std::optional<Resolved> resolveAfresh(WindowID window);
    std::optional<WindowOwner> lookUpOwner(WindowID window, std::optional<Rect>& bounds);
    std::optional<AXWindow> windowInProcess(std::int32_t pid, WindowID window);
    void logOwnerChanged(WindowID window, const WindowOwner& was, const WindowOwner& now);
    std::optional<WindowID> focusedWindowID(std::int32_t pid);

    // Screens.
    Rect flipped(const Rect& rect);
    std::optional<platform::Screen> activeScreen();

    // New windows.
    std::vector<EnumeratedWindow> windowsOfBundle(const std::string& bundleID);
    std::set<std::uint32_t> windowNumbersOfBundle(const std::string& bundleID);
    std::optional<WindowID> firstNewWindow(const std::string& bundleID,
                                           const std::set<std::uint32_t>& before);
    // A new window of the application, or what alsoTaken finds meanwhile.
    std::optional<WindowID> waitForNewWindow(
        const std::string& bundleID,
        const std::set<std::uint32_t>& before,
        platform::Duration timeout,
        const std::function<std::optional<WindowID>()>& alsoTaken = {});

    const WindowLayerContext m_context;
    const std::int32_t m_ourPID;
    std::unordered_map<WindowID, WindowOwner> m_owners;
    std::unordered_map<WindowID, Rect> m_lastBounds;  // top-left coordinates
    // The listing in which each recorded number was last met, and the listings so far.
    std::unordered_map<WindowID, std::uint64_t> m_seenAt;
    std::uint64_t m_listings = 0;
    // The last listing, and how many notifications the observer had seen then; reused while
    // none arrived on a platform whose notifications tell of every change.
    std::optional<std::vector<WindowInfo>> m_lastListing;
    std::uint64_t m_lastListingNotifications = 0;
    // The last window resolved, kept on the same terms as the listing.
    struct LastResolved {
        WindowID window;
        std::uint64_t notifications = 0;
        Resolved resolved;
    };
    std::optional<LastResolved> m_lastResolved;
    const std::optional<std::uint32_t> m_targetDisplayID;
    // The observer's focus resolver holds this weakly: it reaches no released manager.
    std::shared_ptr<Anchor> m_anchor;
    MacWindowObserver m_observer;
};

}  // namespace vorn
