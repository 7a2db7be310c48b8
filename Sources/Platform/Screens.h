#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Geometry.h"
#include "Value.h"

namespace vorn::platform {

// Key of a screen's device description that holds its display number.
namespace screenkey {
inline constexpr std::string_view screenNumber = "NSScreenNumber";
}

// One screen, in bottom-left coordinates.
struct Screen {
    Value deviceDescription;  // normally a dictionary keyed as in screenkey
    Rect frame;
    Rect visibleFrame;  // the frame less the menu bar and the dock or panels
    std::string localizedName;
};

class Screens {
public:
    virtual ~Screens() = default;

    // Every screen, the primary display's first.
    virtual std::vector<Screen> screens() = 0;
    // The platform's main screen; no value without screens.
    virtual std::optional<Screen> mainScreen() = 0;
    // The pointer, in bottom-left coordinates.
    virtual Point mouseLocation() = 0;
};

}  // namespace vorn::platform
