#include "SidebarPanel.h"

#include <utility>

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>

#include "AccessibleActions.h"
#include "PanelWindowHints.h"
#include "SidebarStyle.h"

namespace vorn::app {
namespace {

QPainterPath outline(const QRect& rect) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), SidebarPanel::cornerRadius, SidebarPanel::cornerRadius);
    return path;
}

}  // namespace

SidebarPanel::SidebarPanel(bool translucent)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                  | Qt::WindowDoesNotAcceptFocus)
    , m_translucent(translucent) {
    // The role first: a title already makes the window's interface.
    setAccessibleRole(*this, QAccessible::Window);
    const QString identifier = QStringLiteral("vorn.sidebar.window");
    setObjectName(identifier);
    setWindowRole(identifier);
    // Assistive tools name it by its title.
    setWindowTitle(QStringLiteral("Vorn"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
    }
}

void SidebarPanel::allowKeyFocus() {
    // The window manager's word, not the toolkit's: the toolkit learns late that another
    // window took the focus, and would then forget which one.
    const unsigned long active = activeWindowId();
    if (active != 0 && active != winId()) {
        m_previousActive = active;
    }
    if (QWindow* window = windowHandle()) {
        // On the native window only: changing the widget's flags would hide and re-create it.
        window->setFlag(Qt::WindowDoesNotAcceptFocus, false);
    }
    activateWindow();
}

void SidebarPanel::releaseKeyFocus() {
    const unsigned long previous = std::exchange(m_previousActive, 0);
    const unsigned long active = activeWindowId();
    if (active != 0 ? active != winId() : !isActiveWindow()) {
        return;
    }
    if (QWindow* window = windowHandle()) {
        window->setFlag(Qt::WindowDoesNotAcceptFocus, true);
    }
    requestActivation(previous);
}

void SidebarPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(outline(rect()), style::panelBackground(palette(), m_translucent));
}

void SidebarPanel::resizeEvent(QResizeEvent*) {
    // Without a compositor the transparent corners would show black: cut them off instead.
    if (!m_translucent) {
        setMask(QRegion(outline(rect()).toFillPolygon().toPolygon()));
    }
}

void SidebarPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        if (QWindow* window = windowHandle()) {
            window->setFlag(Qt::WindowDoesNotAcceptFocus, true);
        }
    }
    QWidget::changeEvent(event);
}

}  // namespace vorn::app
