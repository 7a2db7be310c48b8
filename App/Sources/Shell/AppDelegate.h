#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QObject>

#include "AXPermissionFunnel.h"
#include "AppDependencies.h"
#include "CatalogPanelScreens.h"
#include "ConsentController.h"
#include "DisplayCatalog.h"
#include "MenuBarController.h"
#include "RebindPicker.h"
#include "RunLoop.h"
#include "ScreenChooser.h"
#include "Store.h"
#include "UsageDataPreference.h"

namespace vorn::app {

// The spine of the program: starts the outside services once, creates the long-lived objects,
// asks for the host display and builds the sidebar there. It follows the displays: the panel is
// laid out again at once when its display changes, and once the displays have been quiet for
// `settleInterval` the host is found again, the sidebar moves to another display, or the user
// chooses again. One per run; main thread only.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // How long the displays must stay unchanged before the host is looked for again.
    static constexpr std::chrono::milliseconds settleInterval{1200};

    explicit AppDelegate(AppDependencies dependencies);
    ~AppDelegate() override;

    // The launch sequence: focus calls, bootstrap(), the state store, the screen observer, the
    // status-bar menu, then the host display from the chooser (at once with fewer than two).
    void applicationDidFinishLaunching();
    // The one-time start of the outside services; later calls do nothing.
    void bootstrap();
    // The Accessibility permission may have changed.
    void handleAXTrustChanged();
    // Brings the sidebar panel forward with the keyboard focus on its active row, as another
    // start of the program asks.
    void showSidebar();
    // The user's "Move to Display": rebuilds the sidebar on that display; refused (logged) for
    // the current display and one that is not connected.
    void moveToDisplay(std::uint32_t target);

    // What tests and the program's entry look at.
    std::optional<std::uint32_t> hostDisplayID() const { return m_hostDisplayID; }
    const std::optional<std::string>& hostDisplayKey() const { return m_hostDisplayKey; }
    bool isReselecting() const { return m_isReselecting; }
    bool hasPendingSettle() const { return m_settleWorkItem.has_value(); }
    const std::shared_ptr<SidebarModel>& model() const { return m_model; }
    SidebarPanelHost* controller() const { return m_controller.get(); }
    SettingsWindow* settingsController() const { return m_settingsController.get(); }
    MenuBarController* menuBar() const { return m_menuBar.get(); }
    ScreenChooser& chooser() { return m_chooser; }
    RebindPicker& rebindPicker() { return m_rebindPicker; }
    ObservabilityService* observability() const { return m_observability.get(); }
    // The usage-data switch's preference for the settings window; none before bootstrap().
    UsageDataPreference* usageDataPreference() const { return m_usageDataPreference.get(); }
    const DisplayCatalog& catalog() const { return m_catalog; }

private:
    // Why the last settle step armed the next one itself; a step that does so again for the
    // same reason logs nothing, so a lasting lock or a lasting lack of displays is told once.
    enum class Rearmed {
        no,
        deferred,
        waiting
    };

    void start(std::uint32_t displayID, std::shared_ptr<Store> store, bool show);
    void send(const TelemetryEvent& event);
    // Hands the panel the status-bar menu's items, saying whether a tray shows them too.
    void placeStatusItems();

    // Following the displays (AppDelegateDisplays.cpp).
    void screensChanged();
    void scheduleSettle();
    void cancelSettle();
    void reconcileDisplays();
    void rehome(std::uint32_t displayID);
    void reselectHostDisplay();
    void teardownController();
    platform::RunLoop& runLoop() const;

    AppDependencies m_deps;
    DisplayCatalog m_catalog;
    CatalogPanelScreens m_panelScreens;

    std::unique_ptr<SidebarPanelHost> m_controller;
    std::shared_ptr<SidebarModel> m_model;
    ScreenChooser m_chooser;
    RebindPicker m_rebindPicker;
    std::shared_ptr<Store> m_store;
    std::unique_ptr<MenuBarController> m_menuBar;
    std::shared_ptr<ConsentStore> m_consentStore;
    std::unique_ptr<ConsentController> m_consentController;
    std::unique_ptr<ObservabilityService> m_observability;
    std::unique_ptr<UsageDataPreference> m_usageDataPreference;
    std::unique_ptr<SoftwareUpdater> m_softwareUpdater;
    std::unique_ptr<FeedbackService> m_feedbackController;
    AXPermissionFunnel m_axFunnel;
    bool m_didBootstrap = false;
    std::unique_ptr<SettingsWindow> m_settingsController;
    std::optional<std::uint32_t> m_hostDisplayID;
    std::optional<std::string> m_hostDisplayKey;
    bool m_isReselecting = false;
    std::optional<platform::TimerID> m_settleWorkItem;
    Rearmed m_rearmed = Rearmed::no;
};

}  // namespace vorn::app
