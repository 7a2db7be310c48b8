#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>

class QPainter;

namespace vorn::app {

// The glyphs the sidebar draws itself, so that they look the same under every icon theme.
enum class Symbol {
    arrowClockwise,  // a tab whose window is gone and will be reopened
    chevronRight,
    chevronDown,
    plus,
    squareStack,
    ellipsisCircle,       // the header menu's face
    exclamationTriangle,  // a warning; filled
    window,               // a generic window, where an application has no icon
};

// Strokes the symbol into the box (kept square and centred) in the colour. `weight` scales the
// stroke: 1 is regular, larger is bolder.
void drawSymbol(
    QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, qreal weight = 1);

// The symbol as an icon for menus and buttons, at the usual sizes.
QIcon symbolIcon(Symbol symbol, const QColor& color, qreal weight = 1);

}  // namespace vorn::app
