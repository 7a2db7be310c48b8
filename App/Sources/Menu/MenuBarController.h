#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QColor>
#include <QIcon>
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vorn::app {

// The program's one permanent control: the status-bar item and its menu (show or hide the
// sidebar, settings, updates, feedback, quit). It knows nothing else of the program; the
// application sets the callbacks once, right after creation. Main thread only.
class MenuBarController : public QObject {
    Q_OBJECT

public:
    static constexpr char statusItemIdentifier[] = "vorn.statusItem";

    MenuBarController();
    ~MenuBarController() override;

    // Returns the sidebar's visibility after the change.
    std::function<bool()> onToggleSidebar;
    std::function<void()> onOpenSettings;
    std::function<void()> onCheckForUpdates;
    std::function<void()> onSendFeedback;
    std::function<bool()> isSidebarShown = [] { return true; };

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* statusItem() const { return m_statusItem; }

    // Whether a system tray shows the status item. The sidebar's header menu carries the items
    // either way; without a tray its button shows at all times.
    bool isTrayAvailable() const { return m_trayAvailable; }
    // Told with the new availability when a tray appears or goes away.
    std::function<void(bool)> onTrayAvailabilityChanged;
    // Records whether a tray is there; logs and tells onTrayAvailabilityChanged on a change.
    void setTrayAvailable(bool available);
    // The menu's items in order, separators included, for showing them elsewhere.
    QList<QAction*> items() const;
    // Retitles the sidebar toggle for the sidebar's visibility now; runs before the menu opens.
    void menuWillOpen();

    // The item actions.
    void toggleSidebar();
    void openSettings();
    void checkForUpdates();
    void sendFeedback();
    void quit();

protected:
    // Chooses the item whose shortcut is pressed while the menu is open.
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void trayWindowChanged();

private:
    void watchTray();
    QAction* addItem(const QString& title, const char* identifier, void (MenuBarController::*)());

    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_statusItem = nullptr;  // child of this
    QAction* m_toggleItem = nullptr;
    QAction* m_settingsItem = nullptr;
    QAction* m_checkForUpdatesItem = nullptr;
    QAction* m_sendFeedbackItem = nullptr;
    QAction* m_quitItem = nullptr;
    bool m_trayAvailable = true;
};

// The status item's symbol: a window with its left pane marked. In the tray's colour where it
// names one, else in the text colour with an outline that sets it off from a light or a dark
// tray.
QIcon sidebarSymbol(const std::optional<QColor>& trayInk = std::nullopt);

}  // namespace vorn::app
