#include "AppIcons.h"

#include <QPainter>
#include <QPixmap>

#include "DesktopEntryIcons.h"

namespace vorn::app {
namespace {

QPixmap drawnGeneric(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8e, 0x8e, 0x93));
    painter.drawRoundedRect(QRectF(0.06 * s, 0.06 * s, 0.88 * s, 0.88 * s), 0.2 * s, 0.2 * s);
    // A small window: frame and title bar.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 0.07 * s));
    const QRectF window(0.24 * s, 0.28 * s, 0.52 * s, 0.44 * s);
    painter.drawRoundedRect(window, 0.05 * s, 0.05 * s);
    painter.drawLine(QPointF(window.left(), 0.4 * s), QPointF(window.right(), 0.4 * s));
    return pixmap;
}

}  // namespace

QIcon AppIcons::icon(const std::string& bundleId) {
    if (std::optional<QIcon> found = find(bundleId)) {
        return *found;
    }
    return generic();
}

std::optional<QIcon> AppIcons::find(const std::string& bundleId) {
    const QString id = QString::fromStdString(bundleId);
    // "pid:" stands for an application that has no identity to look up.
    if (!id.isEmpty() && !id.startsWith(QStringLiteral("pid:"))) {
        if (QIcon found = desktop::resolveIcon(desktop::iconName(id)); !found.isNull()) {
            return found;
        }
        // A window class without an entry often names a theme icon ("firefox" for "Firefox").
        if (QIcon themed = desktop::resolveIcon(id.toLower()); !themed.isNull()) {
            return themed;
        }
    }
    return std::nullopt;
}

QIcon AppIcons::generic() {
    QIcon drawn;
    for (const int size : {18, 36, 64}) {
        drawn.addPixmap(drawnGeneric(size));
    }
    return QIcon::fromTheme(QStringLiteral("application-x-executable"), drawn);
}

}  // namespace vorn::app
