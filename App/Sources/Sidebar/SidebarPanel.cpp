#include "SidebarPanel.h"

#include <utility>

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>

#include "AccessibleActions.h"
#include "Log.h"
#include "PanelWindowHints.h"
#include "SidebarStyle.h"

namespace vorn::app {
namespace {

// Within a pixel: scaled coordinates round.
bool standsAt(QPoint place, const QRect& frame) {
    return (place - frame.topLeft()).manhattanLength() <= 1;
}

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
    m_bandHold.setSingleShot(true);
    m_bandHold.setInterval(bandHoldMilliseconds);
    QObject::connect(&m_bandHold, &QTimer::timeout, this, [this] {
        releaseBand();
        // Standing at its place, the panel may ask again when it is moved off later.
        if (m_frame && standsAt(placeOnScreen(), *m_frame)) {
            m_refusals = 0;
        }
    });
}

void SidebarPanel::standAt(const QRect& frame, SidebarSide side) {
    if (m_frame != frame || m_side != side) {
        releaseBand();
        m_refusals = 0;
    }
    m_frame = frame;
    m_side = side;
    if (geometry() != frame) {
        // The toolkit reports the move at once, before the window manager has even seen the
        // request: only its answer, a move of its own, can be a refusal.
        m_placing = true;
        setGeometry(frame);
        m_placing = false;
    }
}

void SidebarPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // While the window manager takes the window on, the toolkit reports the frame it is making
    // as the window's place: the place counts from the first exposure on.
    m_exposed = false;
    // Made on the first show, and again should the native window ever be re-created.
    if (QWindow* window = windowHandle(); window != nullptr && window != m_window.data()) {
        m_window = window;
        window->installEventFilter(this);
    }
}

void SidebarPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_exposed && !m_placing) {
        keepPlace();
    }
}

QPoint SidebarPanel::placeOnScreen() {
    return serverPosition(*this).value_or(pos());
}

void SidebarPanel::keepPlace() {
    if (!m_frame || !isVisible() || m_refusals > maxRefusals) {
        return;
    }
    const QPoint at = placeOnScreen();
    if (standsAt(at, *m_frame)) {
        return;
    }
    // Each request is answered by a move of the window manager's own, so asking ends.
    if (++m_refusals > maxRefusals) {
        releaseBand();
        vornAppLog().notice("panel: the window manager keeps it off its place x=", at.x(),
                            " y=", at.y(), " wanted x=", m_frame->x(), " y=", m_frame->y());
        return;
    }
    // Window managers keep windows out of the bands other programs reserve, also where Vorn
    // ignores such a band for leaving too little of the display: they place a new window inside
    // what is left, and move it back there whenever it changes its size hints. A band of the
    // panel's own lets it onto the edge; it lies inside the other program's band, so it takes
    // nothing from other windows, and it is given back after a moment.
    if (!m_bandReserved) {
        reserveBand(*this, m_frame, m_side);
        m_bandReserved = true;
    }
    m_bandHold.start();
    requestFrame(*this, *m_frame);
}

void SidebarPanel::hideEvent(QHideEvent* event) {
    releaseBand();
    m_refusals = 0;
    m_exposed = false;
    QWidget::hideEvent(event);
}

void SidebarPanel::releaseBand() {
    m_bandHold.stop();
    if (std::exchange(m_bandReserved, false)) {
        reserveBand(*this, std::nullopt, m_side);
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
    // The panel stays on the desktop it was shown on; asked for from another one, it brings
    // that desktop forward, as activating any window on another desktop does.
    showDesktopOf(*this);
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
    if (watched == m_window.data() && event->type() == QEvent::Expose && !m_exposed
        && m_window->isExposed()) {
        m_exposed = true;
        keepPlace();
    }
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

void SidebarPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        if (QWindow* window = windowHandle()) {
            window->setFlag(Qt::WindowDoesNotAcceptFocus, true);
        }
    }
    QWidget::changeEvent(event);
}

}  // namespace vorn::app
