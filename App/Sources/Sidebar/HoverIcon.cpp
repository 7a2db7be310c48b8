#include "HoverIcon.h"

#include <QPainter>

#include "SidebarStyle.h"

namespace vorn::app {

HoverIcon::HoverIcon(Symbol symbol, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol) {
    setFixedSize(22, 22);
    setFocusPolicy(Qt::NoFocus);
}

void HoverIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_hovered && isEnabled()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(style::selectionBackground(palette()));
        painter.drawRoundedRect(QRectF(rect()), 5, 5);
    }
    drawSymbol(painter, m_symbol, QRectF(5, 5, 12, 12), palette().color(QPalette::WindowText), 1.3);
}

void HoverIcon::enterEvent(QEnterEvent*) {
    m_hovered = true;
    update();
}

void HoverIcon::leaveEvent(QEvent*) {
    m_hovered = false;
    update();
}

}  // namespace vorn::app
