#pragma once

#include <functional>
#include <vector>

#include <QPoint>
#include <QRect>

#include "DisplayCatalog.h"
#include "PanelScreens.h"

namespace vorn::app {

// Where Qt puts one screen: its top-left corner in global coordinates (the same as the
// display's own pixel position) and its scale.
struct QtScreenPlacement {
    QPoint topLeft;
    double devicePixelRatio = 1;
    bool primary = false;
};

// The application's screens as Qt sees them; by default read from QGuiApplication.
using QtScreenPlacements = std::function<std::vector<QtScreenPlacement>()>;
std::vector<QtScreenPlacement> applicationScreenPlacements();

// The panel's screens answered from the display catalogue. The catalogue's rectangles are
// bottom-left with the origin at the primary display's bottom-left corner; Qt's are top-left,
// in pixels from the primary display's position and scaled down on scaled screens.
class CatalogPanelScreens final : public PanelScreens {
public:
    explicit CatalogPanelScreens(const DisplayCatalog& catalog,
                                 QtScreenPlacements placements = applicationScreenPlacements);

    std::optional<QRect> visibleArea(std::uint32_t displayID) const override;
    std::optional<QRect> visibleAreaAt(QPoint point) const override;
    std::optional<QRect> fallbackVisibleArea() const override;

private:
    struct Converter;

    Converter converterFor(const std::vector<NumberedScreen>& screens) const;
    std::optional<QRect> visibleAreaOf(const platform::Screen& screen,
                                       const Converter& converter) const;

    const DisplayCatalog& m_catalog;
    QtScreenPlacements m_placements;
};

}  // namespace vorn::app
