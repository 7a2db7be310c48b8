#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>

class QKeyEvent;
class QLabel;
class QPainter;

namespace vorn::app::style {

// Emphasis levels of text and glyphs, drawn as the palette's text colour at falling strength so
// that they follow light and dark themes.
enum class Level {
    primary,
    secondary,
    tertiary,
    quaternary
};

QColor foreground(const QPalette& palette, Level level);

// The least contrast text keeps against its background, as readable text needs.
inline constexpr qreal minimumTextContrast = 4.5;
// The contrast ratio of two colours (1 to 21), from their relative luminance; alpha is ignored.
qreal contrastRatio(const QColor& a, const QColor& b);
// `over` painted on `under` with `over`'s alpha; opaque.
QColor composite(const QColor& over, const QColor& under);
// The palette's text colour at the strength given (1 is full) over the opaque background, made
// stronger where it would fall short of minimumTextContrast; opaque.
QColor readableText(const QPalette& palette, qreal strength, const QColor& background);
QColor readableText(const QPalette& palette, Level level, const QColor& background);
QColor separator(const QPalette& palette);
// The background of a selected row that does not have the keyboard focus.
QColor selectionBackground(const QPalette& palette);
QColor panelBackground(const QPalette& palette, bool translucent);

// The interface font at a size in device-independent pixels (the sidebar is laid out in those).
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);

// The outline that shows which control has the keyboard focus, inside the rectangle.
void drawFocusRing(QPainter& painter, const QRectF& rect, const QPalette& palette, qreal radius);

// Return, Enter or Space without modifiers: the keys that press the focused control.
bool isPressKey(const QKeyEvent& event);
// Shift+F10, which opens the focused control's context menu. The Menu key needs no handling:
// the platform turns it into a context-menu event of the keyboard itself.
bool isMenuKey(const QKeyEvent& event);

// A one-line caption (section label or hint) as plain text, 11 pixels, tertiary but readable on
// the window's colour, padded 6 on both sides, with the identifier as object name.
QLabel* makeCaption(const QString& text, const QString& identifier, QWidget* parent);

// A 1-pixel separator line centred in a band `band` pixels high, spanning the width.
class Hairline final : public QWidget {
public:
    explicit Hairline(int band, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vorn::app::style
