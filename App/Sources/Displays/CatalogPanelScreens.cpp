#include "CatalogPanelScreens.h"

#include <cmath>

#include <QGuiApplication>
#include <QScreen>

#include "Coordinates.h"
#include "SafeNumbers.h"

namespace vorn::app {

std::vector<QtScreenPlacement> applicationScreenPlacements() {
    std::vector<QtScreenPlacement> out;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        out.push_back(
            {screen->geometry().topLeft(), screen->devicePixelRatio(), screen == primary});
    }
    return out;
}

// Maps the catalogue's rectangles into Qt's coordinates for one reading of the screens.
struct CatalogPanelScreens::Converter {
    Point origin;  // the primary display's top-left corner
    double primaryHeight = 0;
    std::vector<QtScreenPlacement> placements;

    // In pixels, top-left, relative to nothing but the root.
    std::optional<QRectF> toPixels(const Rect& r) const {
        // Taken by its corners, whichever way its size points.
        const Rect upright(r.minX(), r.minY(), r.width(), r.height());
        const Point corner =
            platform::fromGlobal(platform::flipped(upright, primaryHeight), origin).origin;
        if (!std::isfinite(corner.x) || !std::isfinite(corner.y) || !std::isfinite(r.width())
            || !std::isfinite(r.height())) {
            return std::nullopt;
        }
        return QRectF(corner.x, corner.y, r.width(), r.height());
    }

    // A scaled screen keeps its corner where its pixels start and shrinks from there.
    std::optional<QRect> toQt(const QRectF& pixels, const QRectF& screenPixels) const {
        double ratio = 1;
        QPointF corner = screenPixels.topLeft();
        for (const auto& placement : placements) {
            if (QPointF(placement.topLeft) == corner && placement.devicePixelRatio > 0) {
                ratio = placement.devicePixelRatio;
            }
        }
        const QPointF topLeft = corner + (pixels.topLeft() - corner) / ratio;
        const auto x = exactInt(std::round(topLeft.x()));
        const auto y = exactInt(std::round(topLeft.y()));
        const auto w = exactInt(std::round(pixels.width() / ratio));
        const auto h = exactInt(std::round(pixels.height() / ratio));
        if (!x || !y || !w || !h) {
            return std::nullopt;
        }
        return QRect(*x, *y, *w, *h);
    }
};

CatalogPanelScreens::CatalogPanelScreens(const DisplayCatalog& catalog,
                                         QtScreenPlacements placements)
    : m_catalog(catalog)
    , m_placements(std::move(placements)) {}

std::optional<QRect> CatalogPanelScreens::visibleAreaOf(const platform::Screen& screen,
                                                        const Converter& converter) const {
    const auto frame = converter.toPixels(screen.frame);
    const auto visible = converter.toPixels(screen.visibleFrame);
    if (!frame || !visible) {
        return std::nullopt;
    }
    return converter.toQt(*visible, *frame);
}

CatalogPanelScreens::Converter CatalogPanelScreens::converterFor(
    const std::vector<NumberedScreen>& screens) const {
    Converter converter;
    converter.primaryHeight = screens.empty() ? 0 : screens.front().screen.frame.height();
    converter.placements = m_placements();
    for (const auto& placement : converter.placements) {
        if (placement.primary) {
            converter.origin = {double(placement.topLeft.x()), double(placement.topLeft.y())};
        }
    }
    return converter;
}

std::optional<QRect> CatalogPanelScreens::visibleArea(std::uint32_t displayID) const {
    const auto screens = m_catalog.numberedScreens();
    const Converter converter = converterFor(screens);
    for (const auto& numbered : screens) {
        if (numbered.id == displayID) {
            return visibleAreaOf(numbered.screen, converter);
        }
    }
    return std::nullopt;
}

std::optional<QRect> CatalogPanelScreens::visibleAreaAt(QPoint point) const {
    const auto screens = m_catalog.numberedScreens();
    const Converter converter = converterFor(screens);
    for (const auto& numbered : screens) {
        const auto pixels = converter.toPixels(numbered.screen.frame);
        if (!pixels) {
            continue;
        }
        const auto frame = converter.toQt(*pixels, *pixels);
        if (frame && frame->contains(point)) {
            return visibleAreaOf(numbered.screen, converter);
        }
    }
    return std::nullopt;
}

std::optional<QRect> CatalogPanelScreens::fallbackVisibleArea() const {
    const auto screens = m_catalog.numberedScreens();
    if (screens.empty()) {
        return std::nullopt;
    }
    const auto mainID = m_catalog.mainDisplayID();
    if (mainID) {
        if (auto area = visibleArea(*mainID)) {
            return area;
        }
    }
    return visibleArea(screens.front().id);
}

}  // namespace vorn::app
