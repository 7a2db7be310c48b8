#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "MacWindowManager.h"
#include "SidebarModel.h"
#include "Store.h"
#include "WindowLayerContext.h"

namespace vorn::test {

// The two applications whose windows the session opens.
enum class SessionApp {
    editor,
    viewer
};

// A desktop that the end-to-end session acts on the way a user would. Each backend's tests
// provide one; the session itself knows no backend.
class SessionDesktop {
public:
    virtual ~SessionDesktop() = default;

    // What the program under test runs on; it outlives every run of the program.
    virtual const WindowLayerContext& context() = 0;
    // The display the sidebar serves; no value for every display.
    virtual std::optional<std::uint32_t> displayID() = 0;
    // The application as the window layer reports it. Both applications run all session long.
    virtual AppRef application(SessionApp which) = 0;
    // Opens a window of the application with the title, in front and focused, and returns its
    // number once the window server lists it. Its frame lies on the sidebar's display.
    virtual WindowID openWindow(SessionApp which, const std::string& title) = 0;
    // Brings the window forward and focuses it, as a click on it would.
    virtual void focusWindow(WindowID window) = 0;
    virtual void closeWindow(WindowID window) = 0;
    // Runs the main loop until what happened so far has reached the program and was handled.
    virtual void settle() = 0;
    // Runs the main loop past the next tick of the program's window poll, then settles.
    virtual void passPoll() = 0;
};

// One run of the program: its store on the state file, its window manager and its model.
class SessionProgram {
public:
    SessionProgram(SessionDesktop& desktop, const std::filesystem::path& stateFile);
    ~SessionProgram();

    SidebarModel& model() { return *m_model; }
    std::shared_ptr<SidebarModel>& modelPointer() { return m_model; }
    MacWindowManager& manager() { return *m_manager; }

private:
    std::shared_ptr<MacWindowManager> m_manager;
    std::shared_ptr<SidebarModel> m_model;
};

// Windows open and are focused, one is claimed and another pinned, the claim is promoted, a
// pinned tab's window closes and opens again, and the program restarts on the same state file,
// where the windows changed meanwhile, and binds its pinned tabs again. The tabs, the ambient
// list and the saved file are checked after every step with the test framework's assertions.
void runEndToEndSession(SessionDesktop& desktop, const std::filesystem::path& stateFile);

}  // namespace vorn::test
