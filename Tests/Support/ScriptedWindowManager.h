#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "WindowManager.h"

namespace vorn::test {

// A window manager that serves what the test scripts and records every call it receives.
class ScriptedWindowManager : public WindowManager {
public:
    // --- What the test scripts ---
    bool permission = true;
    bool permissionAfterRequest = true;
    // No value makes listWindows() report an untrustworthy list.
    std::optional<std::vector<WindowInfo>> onScreen = std::vector<WindowInfo>{};
    // Windows that exist but are not listed (minimised, other desktops). Listed ones are alive.
    std::set<WindowID> aliveOffScreen;
    std::map<std::string, std::vector<WindowInfo>> appWindows;  // by bundle identifier
    std::set<WindowID> notResizable;
    ScreenArea screenArea{Rect(0, 0, 1440, 900)};
    std::string sessionToken = "asid:100";
    // Answers of launchOrNewWindow and openDocument, taken in order; empty gives no window.
    std::deque<std::optional<WindowID>> launchResults;
    std::deque<DocumentOpening> openResults;
    // Runs inside launchOrNewWindow/openDocument, as the real manager's nested wait would.
    std::function<void()> duringWait;
    // Frame overrides for windows that are not listed.
    std::map<WindowID, Rect> frames;
    // The window that has the keyboard.
    std::optional<WindowID> focused;

    // --- What the test reads ---
    std::vector<std::string> calls;
    std::vector<std::pair<WindowID, Rect>> setFrames;
    std::vector<WindowID> activations;
    WindowChangeHandler handler;

    // Delivers a change to the registered handler.
    void emit(WindowChange change);
    void addWindow(const WindowInfo& window);  // to the front of the on-screen list
    void removeWindow(WindowID window);

    bool hasAccessibilityPermission() override;
    bool requestAccessibilityPermission() override;
    std::optional<std::vector<WindowInfo>> listWindows() override;
    bool isOnCurrentScreen(WindowID window) override;
    std::optional<Rect> frame(WindowID window) override;
    bool isAlive(WindowID window) override;
    std::vector<WindowInfo> windows(const AppRef& ofApp) override;
    bool isResizable(WindowID window) override;
    ScreenArea currentScreenArea() override;
    std::optional<WindowID> focusedWindow() override;
    void activate(WindowID window) override;
    void setFrame(WindowID window, const Rect& frame) override;
    std::optional<WindowID> launchOrNewWindow(const AppRef& app) override;
    DocumentOpening openDocument(const std::string& path, const AppRef& app) override;
    std::string currentSessionToken() override;
    void observe(WindowChangeHandler handler) override;
    void stopObserving() override;

private:
    const WindowInfo* listed(WindowID window) const;
};

// A window with the given number, application and title, in a 800x600 frame.
WindowInfo makeWindow(std::uint32_t number,
                      const std::string& bundleId,
                      const std::string& title,
                      std::optional<std::string> docPath = std::nullopt);

}  // namespace vorn::test
