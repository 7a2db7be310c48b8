#pragma once

#include <functional>

#include <QWidget>

#include "AccessibleActions.h"

class QMenu;

namespace vorn::app {

// The "Expand"/"Collapse" control of the ambient list. Visible and clickable only while revealed
// (the pointer is over the sidebar), hovered or focused; otherwise the pointer passes through
// it. The keyboard reaches it by Tab; Return or Space press it. Assistive tools see a button that
// is expanded, and checked, while the list is.
class AmbientCollapseToggle final : public QWidget, public AccessibleActions {
    Q_OBJECT

public:
    explicit AmbientCollapseToggle(QWidget* parent = nullptr);

    void setCollapsed(bool collapsed);
    bool isCollapsed() const { return m_collapsed; }
    void setRevealed(bool revealed);
    bool isRevealed() const { return m_revealed; }
    bool isHovered() const { return m_hovered; }
    // Drawn and taking the pointer.
    bool isShown() const { return m_revealed || m_hovered || hasFocus(); }
    void setAction(std::function<void()> action) { m_action = std::move(action); }

    QSize sizeHint() const override;

    QStringList accessibleActionNames() const override;
    void runAccessibleAction(const QString& name) override;
    QString accessibleValue() const override;
    void addAccessibleStates(QAccessible::State& state) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refreshLook();

    bool m_collapsed = false;
    bool m_revealed = false;
    bool m_hovered = false;
    bool m_pressed = false;
    std::function<void()> m_action;
};

// The line between the Recent tabs and the ambient rows, with the collapse toggle at its
// trailing end. While the sidebar is hovered the line stops short of the toggle.
class AmbientDivider final : public QWidget, public AccessibleActions {
    Q_OBJECT

public:
    explicit AmbientDivider(QWidget* parent = nullptr);

    AmbientCollapseToggle& toggle() { return *m_toggle; }
    void setCollapsed(bool collapsed);
    void setSidebarHovered(bool hovered);
    void setToggleAction(std::function<void()> action);
    // Where the line ends, from the leading edge.
    int lineEnd() const;

    // The one-item context menu, deleted when closed.
    QMenu* makeContextMenu();

    QStringList accessibleActionNames() const override;
    void runAccessibleAction(const QString& name) override;
    QAccessible::Role accessibleRole() const override { return QAccessible::Separator; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QString actionName() const;
    void placeToggle();

    AmbientCollapseToggle* m_toggle;
    bool m_sidebarHovered = false;
    std::function<void()> m_action;
};

}  // namespace vorn::app
