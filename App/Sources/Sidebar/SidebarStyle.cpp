#include "SidebarStyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

namespace vorn::app::style {

QColor foreground(const QPalette& palette, Level level) {
    QColor color = palette.color(QPalette::WindowText);
    switch (level) {
        case Level::primary:
            break;
        case Level::secondary:
            color.setAlphaF(0.6f);
            break;
        case Level::tertiary:
            color.setAlphaF(0.38f);
            break;
        case Level::quaternary:
            color.setAlphaF(0.12f);
            break;
    }
    return color;
}

QColor separator(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.16f);
    return color;
}

QColor selectionBackground(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.11f);
    return color;
}

QColor panelBackground(const QPalette& palette, bool translucent) {
    QColor color = palette.color(QPalette::Window);
    if (translucent) {
        color.setAlphaF(0.94f);
    }
    return color;
}

QFont font(qreal pixelSize, QFont::Weight weight) {
    QFont result = QApplication::font();
    result.setPixelSize(qRound(pixelSize));
    result.setWeight(weight);
    return result;
}

void drawFocusRing(QPainter& painter, const QRectF& rect, const QPalette& palette, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

bool isPressKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::NoModifier
           && (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter
               || event.key() == Qt::Key_Space);
}

bool isMenuKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_F10 && event.modifiers() == Qt::ShiftModifier;
}

QLabel* makeCaption(const QString& text, const QString& identifier, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Captions are fixed words, but a label would read markup in any text it is given.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(identifier);
    label->setFont(font(11));
    label->setContentsMargins(6, 0, 6, 0);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, foreground(palette, Level::tertiary));
    label->setPalette(palette);
    return label;
}

Hairline::Hairline(int band, QWidget* parent)
    : QWidget(parent) {
    setFixedHeight(band);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Hairline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRect(0, height() / 2, width(), 1), separator(palette()));
}

}  // namespace vorn::app::style
