#include "Symbols.h"

#include <algorithm>

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vorn::app {
namespace {

// Paths in a unit square; the painter's transform scales them to the box.
QPainterPath unitPath(Symbol symbol) {
    QPainterPath path;
    switch (symbol) {
        case Symbol::arrowClockwise: {
            // From the upper right, clockwise round the bottom, ending at the top.
            const QRectF circle(0.14, 0.18, 0.72, 0.72);
            path.arcMoveTo(circle, 30);
            path.arcTo(circle, 30, -300);
            const QPointF tip = path.currentPosition();
            path.moveTo(tip + QPointF(-0.1, -0.13));
            path.lineTo(tip + QPointF(0.06, 0));
            path.lineTo(tip + QPointF(-0.1, 0.13));
            break;
        }
        case Symbol::chevronRight:
            path.moveTo(0.36, 0.18);
            path.lineTo(0.68, 0.5);
            path.lineTo(0.36, 0.82);
            break;
        case Symbol::chevronDown:
            path.moveTo(0.18, 0.36);
            path.lineTo(0.5, 0.68);
            path.lineTo(0.82, 0.36);
            break;
        case Symbol::plus:
            path.moveTo(0.5, 0.14);
            path.lineTo(0.5, 0.86);
            path.moveTo(0.14, 0.5);
            path.lineTo(0.86, 0.5);
            break;
        case Symbol::squareStack:
            path.addRoundedRect(QRectF(0.12, 0.32, 0.56, 0.56), 0.1, 0.1);
            path.moveTo(0.3, 0.2);
            path.lineTo(0.7, 0.2);
            path.quadTo(0.8, 0.2, 0.8, 0.3);
            path.lineTo(0.8, 0.7);
            break;
        case Symbol::ellipsisCircle:
            path.addEllipse(QRectF(0.06, 0.06, 0.88, 0.88));
            for (const qreal x : {0.3, 0.5, 0.7}) {
                path.addEllipse(QPointF(x, 0.5), 0.035, 0.035);
            }
            break;
        case Symbol::exclamationTriangle:
            path.moveTo(0.5, 0.1);
            path.lineTo(0.94, 0.88);
            path.lineTo(0.06, 0.88);
            path.closeSubpath();
            break;
        case Symbol::window:
            path.addRoundedRect(QRectF(0.08, 0.18, 0.84, 0.64), 0.08, 0.08);
            path.moveTo(0.08, 0.34);
            path.lineTo(0.92, 0.34);
            break;
    }
    return path;
}

}  // namespace

void drawSymbol(
    QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, qreal weight) {
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.scale(side, side);
    QPen pen(color, 0.1 * weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (symbol == Symbol::exclamationTriangle) {
        // Filled, with the mark cut out in white, so that it reads on any background.
        painter.setBrush(color);
        painter.drawPath(unitPath(symbol));
        painter.setPen(QPen(Qt::white, 0.1, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0.5, 0.4), QPointF(0.5, 0.6));
        painter.drawPoint(QPointF(0.5, 0.75));
    } else {
        painter.drawPath(unitPath(symbol));
    }
    painter.restore();
}

QIcon symbolIcon(Symbol symbol, const QColor& color, qreal weight) {
    QIcon icon;
    for (const int side : {16, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawSymbol(painter, symbol, QRectF(0, 0, side, side).adjusted(1, 1, -1, -1), color, weight);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace vorn::app
