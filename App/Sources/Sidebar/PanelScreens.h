#pragma once

#include <cstdint>
#include <optional>

#include <QPoint>
#include <QRect>

namespace vorn::app {

// The screens the sidebar panel can stand on, as visible areas (the display less other
// programs' panels and docks) in Qt's global coordinates. The application answers from its
// display catalogue; tests answer with fixed rectangles.
class PanelScreens {
public:
    virtual ~PanelScreens() = default;

    // The visible area of the display with this number; none when it is not connected.
    virtual std::optional<QRect> visibleArea(std::uint32_t displayID) const = 0;
    // The visible area of the screen that contains the point; none when no screen does.
    virtual std::optional<QRect> visibleAreaAt(QPoint point) const = 0;
    // The main screen's visible area, else the first screen's; none with no screen at all.
    virtual std::optional<QRect> fallbackVisibleArea() const = 0;
};

}  // namespace vorn::app
