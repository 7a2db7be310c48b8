#pragma once

#include "SettingsWindow.h"

namespace vorn::app {

// Minimal services until the real ones are built: each does what the menu and start-up need and
// logs the rest.

// Logs where the settings window would be shown.
class StandInSettingsWindow final : public SettingsWindow {
public:
    void show() override;
    void close() override;

private:
    bool m_shown = false;
};

}  // namespace vorn::app
