#include "TabRow.h"

#include <algorithm>

#include <QAccessible>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "SidebarStyle.h"
#include "Symbols.h"

namespace vorn::app {
namespace {

constexpr int glyphSize = 11;
constexpr int spacing = 8;
constexpr int padX = 6;
constexpr int padY = 5;
constexpr qreal dimmedOpacity = 0.55;

QFont titleFont() {
    return style::font(13);
}

}  // namespace

TabRow::TabRow(QWidget* parent)
    : QWidget(parent) {
    installAccessibleActions();
    // Clicking a row must leave the keyboard focus where it is; the keyboard reaches it by Tab.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TabRow::setIcon(const QString& key, const QIcon& icon) {
    m_iconKey = key;
    m_icon = icon;
    update();
}

void TabRow::setTitle(const QString& title) {
    if (title != m_title) {
        m_title = title;
        setAccessibleName(title);
        update();
    }
}

void TabRow::setDescription(const QString& description) {
    if (description != accessibleDescription()) {
        setAccessibleDescription(description);
    }
}

void TabRow::setReopenable(bool reopenable) {
    if (reopenable != m_reopenable) {
        m_reopenable = reopenable;
        update();
    }
}

void TabRow::setActive(bool active) {
    if (active != m_active) {
        m_active = active;
        // Checked as well as selected: the change of a checked state is what reaches screen
        // readers.
        QAccessible::State changed;
        changed.checked = true;
        changed.selected = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
        update();
    }
}

void TabRow::setDimmed(bool dimmed) {
    if (dimmed != m_dimmed) {
        m_dimmed = dimmed;
        update();
    }
}

QMenu* TabRow::makeContextMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const Action& action : m_actions) {
        QAction* item = menu->addAction(action.name);
        item->setObjectName(action.identifier);
        // The menu may outlive a refresh that replaces the row's actions; keep this copy.
        connect(item, &QAction::triggered, menu, [run = action.run] { run(); });
    }
    return menu;
}

void TabRow::openContextMenuFromKeyboard() {
    if (m_actions.empty()) {
        return;
    }
    QMenu* menu = makeContextMenu();
    menu->popup(mapToGlobal(QPoint(0, height())));
    menu->setActiveAction(menu->actions().value(0));
}

QSize TabRow::sizeHint() const {
    const QFontMetrics metrics(titleFont());
    const int textWidth = metrics.horizontalAdvance(m_title);
    const int glyph = m_reopenable ? spacing + glyphSize : 0;
    return {padX + iconSize + spacing + textWidth + glyph + padX,
            std::max(iconSize, metrics.height()) + 2 * padY};
}

QSize TabRow::minimumSizeHint() const {
    return {padX + iconSize + padX, sizeHint().height()};
}

QStringList TabRow::accessibleActionNames() const {
    QStringList names;
    if (m_primary) {
        names << QAccessibleActionInterface::pressAction();
    }
    for (const Action& action : m_actions) {
        names << action.name;
    }
    return names;
}

void TabRow::addAccessibleStates(QAccessible::State& state) const {
    state.checkable = true;
    state.checked = m_active;
    state.selected = m_active;
}

void TabRow::runAccessibleAction(const QString& name) {
    if (name == QAccessibleActionInterface::pressAction()) {
        if (m_primary) {
            m_primary();
        }
        return;
    }
    for (const Action& action : m_actions) {
        if (action.name == name) {
            action.run();
            return;
        }
    }
}

void TabRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The selection stays at full strength behind dimmed content.
    if (m_active) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(style::selectionBackground(palette()));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    painter.setOpacity(m_dimmed ? dimmedOpacity : 1.0);

    const QRect content = rect().adjusted(padX, padY, -padX, -padY);
    const QRect iconRect(content.left(), content.center().y() - iconSize / 2 + 1, iconSize,
                         iconSize);
    m_icon.paint(&painter, iconRect);

    int titleRight = content.right();
    if (m_reopenable) {
        const QRectF glyphRect(content.right() - glyphSize + 1,
                               content.center().y() - glyphSize / 2.0 + 1, glyphSize, glyphSize);
        drawSymbol(painter, Symbol::arrowClockwise, glyphRect,
                   style::foreground(palette(), style::Level::tertiary), 1.1);
        titleRight = static_cast<int>(glyphRect.left()) - spacing;
    }

    const QRect titleRect(iconRect.right() + 1 + spacing, content.top(),
                          std::max(0, titleRight - iconRect.right() - spacing), content.height());
    // The title dims as far as it stays readable on the row's background.
    const QColor window = palette().color(QPalette::Window);
    const QColor background =
        m_active ? style::composite(style::selectionBackground(palette()), window) : window;
    painter.setOpacity(1.0);
    painter.setFont(titleFont());
    painter.setPen(style::readableText(palette(), m_dimmed ? dimmedOpacity : 1.0, background));
    // Titles come from other programs: drawn as plain text on one line, line breaks included.
    const QString shown = painter.fontMetrics().elidedText(m_title, Qt::ElideRight,
                                                           titleRect.width(), Qt::TextSingleLine);
    painter.drawText(titleRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
    if (hasFocus()) {
        style::drawFocusRing(painter, QRectF(rect()), palette(), 6);
    }
}

QString TabRow::subject() const {
    return objectName() + QLatin1Char('\n') + m_value;
}

void TabRow::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    m_pressedSubject = subject();
    event->accept();
}

void TabRow::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint())
                       && m_pressedSubject == subject();
    m_pressed = false;
    event->accept();
    if (click && m_primary) {
        m_primary();
    }
}

void TabRow::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        openContextMenuFromKeyboard();
        return;
    }
    if (m_actions.empty()) {
        return;
    }
    // popup(), not exec(): a nested loop here could see this row deleted by a refresh.
    makeContextMenu()->popup(event->globalPos());
}

void TabRow::keyPressEvent(QKeyEvent* event) {
    if (style::isPressKey(*event) && !event->isAutoRepeat()) {
        event->accept();
        if (m_primary) {
            m_primary();
        }
        return;
    }
    if (style::isMenuKey(*event)) {
        event->accept();
        openContextMenuFromKeyboard();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vorn::app
