#include "SpaceBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>

#include "HoverIcon.h"
#include "SidebarStyle.h"

namespace vorn::app {

IconButton::IconButton(Symbol symbol, QWidget* parent)
    : QAbstractButton(parent) {
    setFixedSize(22, 22);
    // A click must leave the keyboard focus where it is; the keyboard reaches it by Tab. The
    // face takes no clicks: they reach the button.
    setFocusPolicy(Qt::TabFocus);
    new HoverIcon(symbol, this);
}

void IconButton::paintEvent(QPaintEvent*) {
    if (hasFocus()) {
        QPainter painter(this);
        style::drawFocusRing(painter, QRectF(rect()), palette(), 5);
    }
}

void IconButton::keyPressEvent(QKeyEvent* event) {
    // Space presses any button; Return as well, as on the rows.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && style::isPressKey(*event) && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

SpaceBar::SpaceBar(QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);

    m_switcher = new IconButton(Symbol::squareStack, this);
    m_switcher->setObjectName(QStringLiteral("vorn.space.switcher"));
    m_switcher->setAccessibleName(QStringLiteral("Spaces"));
    row->addWidget(m_switcher);
    row->addStretch(1);
    m_add = new IconButton(Symbol::plus, this);
    m_add->setObjectName(QStringLiteral("vorn.space.add"));
    m_add->setAccessibleName(QStringLiteral("New Space"));
    row->addWidget(m_add);

    connect(m_switcher, &QAbstractButton::clicked, this, &SpaceBar::switcherRequested);
    connect(m_add, &QAbstractButton::clicked, this, &SpaceBar::addRequested);
}

void SpaceBar::setEditing(bool editing) {
    m_switcher->setEnabled(!editing);
    m_add->setEnabled(!editing);
}

}  // namespace vorn::app
