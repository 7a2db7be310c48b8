#include "SidebarPanel.h"

#include <utility>

#include <QEvent>
#include <QFocusEvent>
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

bool SidebarPanel::eventFilter(QObject* watched, QEvent* event) {
    // The native window's focus events only make Qt tell assistive tools whether the window is
    // active, and it tells them wrongly: a menu opening over the panel, or closing again, leaves
    // the panel the active window, yet each is announced as an activation ("Vorn frame" between
    // the menu's items), and a real change is announced once the wrong way round first. The
    // application's own change of its active window announces the real changes.
    if (watched == m_window.data()
        && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Tab and Backtab into the window would also choose its first or last control.
        return reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason;
    }
    return QWidget::eventFilter(watched, event);
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

void SidebarPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Made on the first show, and again should the native window ever be re-created.
    if (QWindow* window = windowHandle(); window != nullptr && window != m_window.data()) {
        m_window = window;
        window->installEventFilter(this);
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
