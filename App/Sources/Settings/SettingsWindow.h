#pragma once

namespace vorn::app {

// The settings window of one host display's sidebar.
class SettingsWindow {
public:
    virtual ~SettingsWindow() = default;

    // Shows the window, creating it on first use.
    virtual void show() = 0;
    // Hides and releases the window; the sidebar is being torn down.
    virtual void close() = 0;
};

}  // namespace vorn::app
