#include "SidebarStyle.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

namespace vorn::app::style {

namespace {

qreal strengthOf(Level level) {
    switch (level) {
        case Level::primary:
            return 1.0;
        case Level::secondary:
            return 0.6;
        case Level::tertiary:
            return 0.38;
        case Level::quaternary:
            return 0.12;
    }
    return 1.0;
}

qreal luminance(const QColor& color) {
    const auto linear = [](float channel) {
        return channel <= 0.04045f ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF())
           + 0.0722 * linear(rgb.blueF());
}

}  // namespace

QColor foreground(const QPalette& palette, Level level) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(static_cast<float>(strengthOf(level)));
    return color;
}

qreal contrastRatio(const QColor& a, const QColor& b) {
    const qreal first = luminance(a);
    const qreal second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor composite(const QColor& over, const QColor& under) {
    const QColor top = over.toRgb();
    const QColor bottom = under.toRgb();
    const float alpha = top.alphaF();
    const auto mix = [alpha](float a, float b) { return alpha * a + (1 - alpha) * b; };
    return QColor::fromRgbF(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()),
                            mix(top.blueF(), bottom.blueF()));
}

QColor readableText(const QPalette& palette, qreal strength, const QColor& background) {
    QColor ink = palette.color(QPalette::WindowText);
    // In small steps up to full strength, which is the best the palette's text can do.
    for (qreal alpha = std::clamp(strength, 0.0, 1.0);; alpha = std::min(1.0, alpha + 0.02)) {
        ink.setAlphaF(static_cast<float>(alpha));
        const QColor shown = composite(ink, background);
        if (alpha >= 1.0 || contrastRatio(shown, background) >= minimumTextContrast) {
            return shown;
        }
    }
}

QColor readableText(const QPalette& palette, Level level, const QColor& background) {
    return readableText(palette, strengthOf(level), background);
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
    palette.setColor(QPalette::WindowText,
                     readableText(palette, Level::tertiary, palette.color(QPalette::Window)));
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
