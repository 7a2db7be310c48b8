#pragma once

#include <QColor>
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
};

// Strokes the symbol into the box (kept square and centred) in the colour. `weight` scales the
// stroke: 1 is regular, larger is bolder.
void drawSymbol(
    QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, qreal weight = 1);

}  // namespace vorn::app
