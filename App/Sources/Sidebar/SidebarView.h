#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include "DisplayHostMenu.h"
#include "Models.h"
#include "Observation.h"
#include "SidebarModel.h"
#include "StatusItems.h"
#include "WindowIcons.h"

class QLabel;
class QMenu;
class QMessageBox;
class QScrollArea;
class QVBoxLayout;

namespace vorn::app {

class AmbientDivider;
class PermissionBanner;
class SpaceBar;
class SpaceHeader;
class TabRow;

// The content of the sidebar panel: the active space's header, the permission banner while
// the permission is missing, the "Pinned" and "Recent" sections with the ambient list, and the
// space bar. It reads the model and calls its operations, nothing else.
//
// Model notifications only mark the view stale; it rebuilds once in the next turn of the event
// loop. Rows are kept by tab id and window number, so a refresh updates them in place: nothing
// flickers and hover and keyboard focus survive. Model operations run in a turn of their own,
// outside every widget's event handler, because some run a nested event loop in which a refresh
// may retire the very row that was clicked.
//
// Each section's rows sit in a list of their own, in the order shown, so that assistive tools
// read them as the screen shows them. The keyboard reaches the controls and rows by Tab, in
// screen order, and moves between rows with the arrows; Escape hands the keyboard back.
class SidebarView final : public QWidget {
    Q_OBJECT

public:
    // A section shows at most this many rows, the first in its order, and says how many more it
    // holds: widgets for hundreds of thousands of tabs would take minutes to build and hold a
    // gigabyte.
    static constexpr std::size_t maxRowsPerSection = 2000;

    // `requestKeyFocus` makes the panel the key window before a field of the view takes typing;
    // `windowIcons` reads the icons of windows whose application the icon theme has none for.
    SidebarView(std::shared_ptr<SidebarModel> model,
                std::function<void()> requestKeyFocus,
                std::optional<DisplayHostMenu> hostMenu,
                WindowIconReader windowIcons = {},
                QWidget* parent = nullptr);
    ~SidebarView() override;

    // Lets go of the model: no more rebuilds, and row actions not yet run are dropped. The rows
    // stay as last drawn. Called when the panel is torn down.
    void detach();

    bool isSidebarHovered() const { return m_sidebarHovered; }

    // Gives the keyboard focus to the active row, else to the first row, else to the first
    // control. The panel must still be asked for the focus.
    void focusActiveRow();

    // Opens the header's name field on the active space's name and gives it the keyboard focus,
    // asking the panel for the focus first.
    void beginSpaceRename();
    // Renames the active space to the field's text (the model ignores a blank name) and closes
    // the field; nothing while it is closed, so Return and the focus loss that follows rename
    // once.
    void commitSpaceRename();
    bool isEditingSpaceName() const;
    // Shows the items at the end of the header menu, and the menu's button at all times while
    // they have no other route.
    void setStatusItems(StatusItems items);

Q_SIGNALS:
    // The field that took the keyboard focus is closed, or Escape was pressed; the panel may hand
    // the focus back.
    void keyFocusReleased();

protected:
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildLayout();
    void scheduleRebuild();
    void rebuild();
    // Puts the rows into the section's list in this order, the list's children as well.
    void arrangeSection(QWidget& list, const std::vector<TabRow*>& rows);
    // Shows how many rows of the section are left out; logs when the section starts to overflow.
    static void showLeftOut(QLabel& more, std::size_t leftOut, std::size_t total);
    void retire(TabRow* row);
    // The controls and rows the keyboard visits, in screen order.
    std::vector<QWidget*> focusStops() const;
    // Gives the stop the focus and, when `reveal`, scrolls the list to it.
    void focusStop(QWidget* stop, Qt::FocusReason reason, bool reveal = true);
    // After a rebuild: the row that had the focus, or the one that took its window's place, or
    // the one now at its position.
    void restoreFocus(TabRow* focused, std::optional<WindowID> window, std::size_t index);
    std::optional<WindowID> windowOf(const TabRow* row) const;
    void setSidebarHovered(bool hovered);
    // Runs the operation on the model in a later turn of the event loop, unless detached.
    void perform(std::function<void(SidebarModel&)> operation);

    // The header, the space bar and the banner (SidebarControls.cpp).
    void buildControls();
    void updateControls();
    void openHeaderMenu();
    void fillHeaderMenu(QMenu& menu);
    // The status-bar menu's items at the end of the header menu.
    void addStatusItems(QMenu& menu);
    void openSwitcher();
    void addSpace();
    void confirmDeleteSpace();

    // Row builders (SidebarRows.cpp): update the existing row, or make one when it is null.
    TabRow* tabRow(TabRow* existing, const SpaceTab& tab, std::optional<WindowID> activeWindow);
    TabRow* ambientRow(TabRow* existing,
                       const WindowInfo& window,
                       std::optional<WindowID> activeWindow);
    TabRow* reuse(TabRow* existing, const std::string& bundleId, std::optional<WindowID> window);
    // Forgets the icons of windows that no space and no list holds any more.
    void forgetGoneWindowIcons();
    // Whether the row was last built from exactly this tab or window, in this state.
    bool unchanged(const TabRow* row, const SpaceTab& tab, bool active) const;
    bool unchanged(const TabRow* row, const WindowInfo& window, bool active) const;

    std::shared_ptr<SidebarModel> m_model;
    // For the header's rename field and its "Move to Display" menu.
    std::function<void()> m_requestKeyFocus;
    std::optional<DisplayHostMenu> m_hostMenu;
    Subscription m_subscription;
    bool m_rebuildPending = false;
    bool m_sidebarHovered = false;

    SpaceHeader* m_header = nullptr;
    PermissionBanner* m_banner = nullptr;
    SpaceBar* m_spaceBar = nullptr;
    QPointer<QMessageBox> m_deleteConfirmation;
    StatusItems m_statusItems;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_pinnedLabel = nullptr;
    QLabel* m_pinnedHint = nullptr;
    QWidget* m_pinnedList = nullptr;
    QLabel* m_pinnedMore = nullptr;
    QWidget* m_sectionLine = nullptr;
    QLabel* m_recentLabel = nullptr;
    QLabel* m_recentHint = nullptr;
    QWidget* m_recentList = nullptr;
    QLabel* m_recentMore = nullptr;
    AmbientDivider* m_divider = nullptr;
    QWidget* m_ambientList = nullptr;
    QLabel* m_ambientMore = nullptr;
    // Every row, in screen order.
    std::vector<TabRow*> m_rows;

    std::unordered_map<Uuid, TabRow*> m_tabRows;
    std::unordered_map<WindowID, TabRow*> m_ambientRows;
    // What each row was last built from: a refresh touches only rows whose tab or window
    // changed.
    struct RowInput {
        std::variant<SpaceTab, WindowInfo> value;
        bool active = false;
    };
    std::unordered_map<const TabRow*, RowInput> m_rowInputs;
    // Application icons, looked up once per application and shared by its rows; none where the
    // icon theme has no icon for it. Such an application's rows show their window's own icon,
    // else the generic one.
    std::unordered_map<std::string, std::optional<QIcon>> m_icons;
    WindowIcons m_windowIcons;
    QIcon m_genericIcon;
};

}  // namespace vorn::app
