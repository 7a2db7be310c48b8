#include "AmbientDivider.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "SidebarStyle.h"
#include "Symbols.h"

namespace vorn::app {
namespace {

constexpr int chevronSize = 9;
constexpr int toggleSpacing = 4;
constexpr int band = 14;
constexpr int inset = 2;
constexpr int toggleGap = 8;

QFont toggleFont() {
    return style::font(11, QFont::Medium);
}

QString toggleText(bool collapsed) {
    return collapsed ? QStringLiteral("Expand") : QStringLiteral("Collapse");
}

}  // namespace

AmbientCollapseToggle::AmbientCollapseToggle(QWidget* parent)
    : QWidget(parent) {
    installAccessibleActions();
    setObjectName(QStringLiteral("vorn.ambient.collapseToggle"));
    // Never by a click, so that the window the user works in keeps the keyboard.
    setFocusPolicy(Qt::TabFocus);
    refreshLook();
}

void AmbientCollapseToggle::setCollapsed(bool collapsed) {
    if (collapsed != m_collapsed) {
        m_collapsed = collapsed;
        refreshLook();
        updateGeometry();
        // Checked follows expanded: the AT-SPI bridge drops a change of the expanded state but
        // carries one of the checked state, so that is what a screen reader hears.
        QAccessible::State changed;
        changed.checked = true;
        changed.expanded = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void AmbientCollapseToggle::setRevealed(bool revealed) {
    if (revealed != m_revealed) {
        m_revealed = revealed;
        refreshLook();
    }
}

void AmbientCollapseToggle::refreshLook() {
    // Setting the name tells assistive tools of a change even when it is the same.
    const QString name =
        m_collapsed ? QStringLiteral("Expand Ambient") : QStringLiteral("Collapse Ambient");
    if (name != accessibleName()) {
        setAccessibleName(name);
    }
    // An invisible toggle lets clicks through to the divider beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents, !isShown());
    update();
}

QSize AmbientCollapseToggle::sizeHint() const {
    const QFontMetrics metrics(toggleFont());
    return {chevronSize + toggleSpacing + metrics.horizontalAdvance(toggleText(m_collapsed)),
            metrics.height()};
}

QStringList AmbientCollapseToggle::accessibleActionNames() const {
    return {QAccessibleActionInterface::pressAction()};
}

void AmbientCollapseToggle::runAccessibleAction(const QString& name) {
    if (name == QAccessibleActionInterface::pressAction() && m_action) {
        m_action();
    }
}

QString AmbientCollapseToggle::accessibleValue() const {
    return m_collapsed ? QStringLiteral("Collapsed") : QStringLiteral("Expanded");
}

void AmbientCollapseToggle::addAccessibleStates(QAccessible::State& state) const {
    state.expandable = true;
    state.expanded = !m_collapsed;
    state.checkable = true;
    state.checked = !m_collapsed;
}

void AmbientCollapseToggle::paintEvent(QPaintEvent*) {
    if (!isShown()) {
        return;
    }
    QPainter painter(this);
    const QColor color =
        style::readableText(palette(), m_hovered ? style::Level::primary : style::Level::secondary,
                            palette().color(QPalette::Window));
    const QRectF chevron(0, (height() - chevronSize) / 2.0, chevronSize, chevronSize);
    drawSymbol(painter, m_collapsed ? Symbol::chevronRight : Symbol::chevronDown, chevron, color,
               1.4);
    painter.setFont(toggleFont());
    painter.setPen(color);
    painter.drawText(rect().adjusted(chevronSize + toggleSpacing, 0, 0, 0),
                     Qt::AlignVCenter | Qt::AlignLeft, toggleText(m_collapsed));
    if (hasFocus()) {
        style::drawFocusRing(painter, QRectF(rect()), palette(), 4);
    }
}

void AmbientCollapseToggle::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    refreshLook();
}

void AmbientCollapseToggle::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    refreshLook();
}

void AmbientCollapseToggle::keyPressEvent(QKeyEvent* event) {
    if (style::isPressKey(*event) && !event->isAutoRepeat()) {
        event->accept();
        if (m_action) {
            m_action();
        }
        return;
    }
    if (style::isMenuKey(*event)) {
        // The divider's menu, as the Menu key gives it.
        event->accept();
        const QPoint at = rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
        QCoreApplication::sendEvent(this, &menu);
        return;
    }
    QWidget::keyPressEvent(event);
}

void AmbientCollapseToggle::enterEvent(QEnterEvent*) {
    m_hovered = true;
    refreshLook();
}

void AmbientCollapseToggle::leaveEvent(QEvent*) {
    m_hovered = false;
    refreshLook();
}

void AmbientCollapseToggle::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void AmbientCollapseToggle::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click && isShown() && m_action) {
        m_action();
    }
}

AmbientDivider::AmbientDivider(QWidget* parent)
    : QWidget(parent)
    , m_toggle(new AmbientCollapseToggle(this)) {
    installAccessibleActions();
    setFixedHeight(band + 2 * inset);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    placeToggle();
}

void AmbientDivider::setCollapsed(bool collapsed) {
    m_toggle->setCollapsed(collapsed);
    placeToggle();
}

void AmbientDivider::setSidebarHovered(bool hovered) {
    if (hovered != m_sidebarHovered) {
        m_sidebarHovered = hovered;
        m_toggle->setRevealed(hovered);
        update();
    }
}

void AmbientDivider::setToggleAction(std::function<void()> action) {
    m_action = action;
    m_toggle->setAction(std::move(action));
}

int AmbientDivider::lineEnd() const {
    const int trailing = m_sidebarHovered ? m_toggle->sizeHint().width() + toggleGap : 0;
    return std::max(0, width() - trailing);
}

QString AmbientDivider::actionName() const {
    return m_toggle->isCollapsed() ? QStringLiteral("Expand Ambient")
                                   : QStringLiteral("Collapse Ambient");
}

QMenu* AmbientDivider::makeContextMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* item = menu->addAction(actionName());
    item->setObjectName(QStringLiteral("vorn.menu.ambientCollapse"));
    connect(item, &QAction::triggered, menu, [run = m_action] {
        if (run) {
            run();
        }
    });
    return menu;
}

QStringList AmbientDivider::accessibleActionNames() const {
    return {actionName()};
}

void AmbientDivider::runAccessibleAction(const QString& name) {
    if (name == actionName() && m_action) {
        m_action();
    }
}

void AmbientDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRect(0, height() / 2, lineEnd(), 1), style::separator(palette()));
}

void AmbientDivider::resizeEvent(QResizeEvent*) {
    placeToggle();
}

void AmbientDivider::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    QMenu* menu = makeContextMenu();
    menu->popup(event->globalPos());
    if (event->reason() == QContextMenuEvent::Keyboard) {
        menu->setActiveAction(menu->actions().value(0));
    }
}

void AmbientDivider::placeToggle() {
    const QSize size = m_toggle->sizeHint();
    m_toggle->setGeometry(width() - size.width(), (height() - size.height()) / 2, size.width(),
                          size.height());
    update();
}

}  // namespace vorn::app
