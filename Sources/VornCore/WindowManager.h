#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Date.h"
#include "Geometry.h"
#include "Models.h"

namespace vorn {

// The visible frame of the display the sidebar serves, in bottom-left coordinates.
struct ScreenArea {
    Rect visibleFrame;

    friend bool operator==(const ScreenArea&, const ScreenArea&) = default;
};

// What the window layer pushes up: a window that became focused, a plain change after which
// everything is read again, or a poll tick after which the window layer knows that nothing it
// lists has changed since the last listing.
struct WindowChange {
    enum class Kind {
        focused,
        changed,
        unchanged
    };

    Kind kind = Kind::changed;
    WindowID window;  // meaningful for focused only

    static WindowChange focused(WindowID id) { return {Kind::focused, id}; }
    static WindowChange changed() { return {Kind::changed, WindowID()}; }
    static WindowChange unchanged() { return {Kind::unchanged, WindowID()}; }

    friend bool operator==(const WindowChange&, const WindowChange&) = default;
};

using WindowChangeHandler = std::function<void(WindowChange)>;

// What came of opening a document.
struct DocumentOpening {
    // The window that shows it: a new one, or one the application had and shows it in now.
    std::optional<WindowID> window;
    // The application was handed the document (the file exists and the application is known),
    // whether a window shows it or not.
    bool handedOver = false;

    friend bool operator==(const DocumentOpening&, const DocumentOpening&) = default;
};

// The core's only way to reach windows, applications and the display. Called on the main
// thread only; implementations report no errors and may block for the times stated.
class WindowManager {
public:
    virtual ~WindowManager() = default;

    // Whether other applications' windows may be read and moved now. Never prompts.
    virtual bool hasAccessibilityPermission() = 0;
    // Prompts for the permission; returns whether it is granted at this moment.
    virtual bool requestAccessibilityPermission() = 0;
    // Ordinary windows on the sidebar's display, front to back. No value: the list cannot be
    // trusted now (locked screen, session off the console); an empty list means no windows.
    virtual std::optional<std::vector<WindowInfo>> listWindows() = 0;
    // Whether listWindows() would list the window now; false when the list cannot be read.
    virtual bool isOnCurrentScreen(WindowID window) = 0;
    // The window's frame; no value when it is gone or unreadable.
    virtual std::optional<Rect> frame(WindowID window) = 0;
    // Whether the window still exists anywhere, listed or not.
    virtual bool isAlive(WindowID window) = 0;
    // The standard windows of every process of the application (matched by bundle identifier),
    // minimised ones included. By default none, which makes rebinding open a new window.
    virtual std::vector<WindowInfo> windows(const AppRef& ofApp);
    // Whether the window's size can be changed; true when it cannot be told.
    virtual bool isResizable(WindowID window) = 0;
    // The visible frame of the sidebar's display (else the display under the pointer, else the
    // main one; zero with no display).
    virtual ScreenArea currentScreenArea() = 0;
    // The window that has the keyboard now; no value when none has it or it cannot be told. By
    // default none.
    virtual std::optional<WindowID> focusedWindow();
    // Brings the window's application forward and focuses the window, un-minimising it.
    virtual void activate(WindowID window) = 0;
    // Moves and resizes the window as closely as its application allows.
    virtual void setFrame(WindowID window, const Rect& frame) = 0;
    // Makes a new window of the application appear and returns it; no value when none came in
    // time. May run the main loop while it waits.
    virtual std::optional<WindowID> launchOrNewWindow(const AppRef& app) = 0;
    // Opens the document (a "file:" URL or a path) with the application: the window that shows
    // it, a new one or one of the application's that already did or does now (a tabbed editor
    // shows it in a window it has); no window when the file is missing, the application is
    // unknown or no window showed it in time. May run the main loop.
    virtual DocumentOpening openDocument(const std::string& path, const AppRef& app) = 0;
    // Stays the same while window numbers keep their meaning (one run of the window server)
    // and differs whenever they may have been handed out again.
    virtual std::string currentSessionToken() = 0;
    // Whether the window is plausibly the one a tab of the application was bound to when the
    // state was saved at `savedAt`, in this session: it exists, belongs to that application,
    // and its process started before then. False when that cannot be told. By default true: the
    // session token alone decides.
    virtual bool mayBeSavedWindow(WindowID window, const AppRef& app, std::optional<Date> savedAt);
    // Registers the one change handler and starts watching. The handler may be called on any
    // thread.
    virtual void observe(WindowChangeHandler handler) = 0;
    // Stops watching for good: the handler is not called after this returns.
    virtual void stopObserving() = 0;
    // After a refresh that left nothing due: a poll tick that finds no window changed would
    // change nothing for the caller for that many seconds (infinity: until told otherwise). No
    // value: such ticks are wanted again. A layer told of every window change may leave its poll
    // asleep meanwhile, as long as any notification wakes it. By default ignored.
    virtual void setQuietTicks(std::optional<double> seconds);
};

inline std::vector<WindowInfo> WindowManager::windows(const AppRef& /*ofApp*/) {
    return {};
}

inline bool WindowManager::mayBeSavedWindow(WindowID /*window*/,
                                            const AppRef& /*app*/,
                                            std::optional<Date> /*savedAt*/) {
    return true;
}

inline std::optional<WindowID> WindowManager::focusedWindow() {
    return std::nullopt;
}

inline void WindowManager::setQuietTicks(std::optional<double> /*seconds*/) {}

}  // namespace vorn
