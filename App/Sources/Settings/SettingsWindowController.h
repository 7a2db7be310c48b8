#pragma once

#include <memory>

#include <QPointer>
#include <QWidget>

#include "SettingsWindow.h"
#include "SidebarModel.h"
#include "SoftwareUpdater.h"
#include "UsageDataPreference.h"

namespace vorn::app {

// The settings window of one host display's sidebar, "Vorn Settings": a column of sections, the
// window placement bound to that display's model, when the updater has preferences, the
// automatic updates, and the answer to the usage-data question. The window is built on the first
// show() and kept when the user closes it; close() releases it. Main thread only.
class SettingsWindowController final : public SettingsWindow {
public:
    static constexpr int contentWidth = 420;

    // Either may be null (no such section); else it must outlive the controller.
    SettingsWindowController(std::shared_ptr<SidebarModel> model,
                             UpdatePreferences* updatePreferences,
                             UsageDataPreference* usageData = nullptr);
    ~SettingsWindowController() override;
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    // Shows the window, building it the first time; later calls raise the same window.
    void show() override;
    // Hides and releases the window; a later show() builds a new one.
    void close() override;

    // The window once built; null before and after close().
    QWidget* window() const { return m_window.data(); }

private:
    QWidget* build();
    void release();

    std::shared_ptr<SidebarModel> m_model;
    UpdatePreferences* m_updatePreferences;
    UsageDataPreference* m_usageData;
    QPointer<QWidget> m_window;
};

}  // namespace vorn::app
