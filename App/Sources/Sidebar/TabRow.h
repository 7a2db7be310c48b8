#pragma once

#include <functional>
#include <vector>

#include <QIcon>
#include <QString>
#include <QWidget>

#include "AccessibleActions.h"

class QMenu;

namespace vorn::app {

// One row of the sidebar: an application icon, a one-line title, the reopen glyph when the
// tab's window is gone, a selection background when active, and the content at reduced strength
// when dimmed. A click runs the primary action; the named actions form the context menu and the
// named accessibility actions. The row keeps no model data: the sidebar view sets everything.
// It takes the keyboard focus by Tab only, never by a click; with it, Return or Space run the
// primary action and the Menu key or Shift+F10 open the context menu. Assistive tools see a
// list item, checked while active.
class TabRow final : public QWidget, public AccessibleActions {
    Q_OBJECT

public:
    struct Action {
        QString name;        // menu text and accessibility action name
        QString identifier;  // the menu item's object name
        std::function<void()> run;
    };

    // The application icon's side, in device-independent pixels.
    static constexpr int iconSize = 18;

    explicit TabRow(QWidget* parent = nullptr);

    // The icon and the key it was looked up by, so that a refresh looks it up only when the key
    // changes.
    void setIcon(const QString& key, const QIcon& icon);
    const QString& iconKey() const { return m_iconKey; }
    void setTitle(const QString& title);
    const QString& title() const { return m_title; }
    // What the row's look says in words, for assistive tools; they hear only real changes.
    void setDescription(const QString& description);
    void setReopenable(bool reopenable);
    bool isReopenable() const { return m_reopenable; }
    void setActive(bool active);
    bool isActive() const { return m_active; }
    void setDimmed(bool dimmed);
    bool isDimmed() const { return m_dimmed; }
    void setValue(const QString& value) { m_value = value; }

    void setPrimaryAction(std::function<void()> action) { m_primary = std::move(action); }
    void setActions(std::vector<Action> actions) { m_actions = std::move(actions); }

    // A context menu of the named actions, deleted when closed.
    QMenu* makeContextMenu();
    // Opens the context menu below the row, its first item chosen, as a key asks.
    void openContextMenuFromKeyboard();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    QStringList accessibleActionNames() const override;
    void runAccessibleAction(const QString& name) override;
    QString accessibleValue() const override { return m_value; }
    void addAccessibleStates(QAccessible::State& state) const override;
    QAccessible::Role accessibleRole() const override { return QAccessible::ListItem; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The tab or window the row shows, with its application.
    QString subject() const;

    QIcon m_icon;
    QString m_iconKey;
    QString m_title;
    QString m_value;
    bool m_reopenable = false;
    bool m_active = false;
    bool m_dimmed = false;
    bool m_pressed = false;
    // What the row showed at the press: a refresh may update the row in place meanwhile, and a
    // release acts only on what was pressed.
    QString m_pressedSubject;
    std::function<void()> m_primary;
    std::vector<Action> m_actions;
};

}  // namespace vorn::app
