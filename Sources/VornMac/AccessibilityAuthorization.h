#pragma once

#include "Accessibility.h"

namespace vorn {

// Whether this process may read and move other applications' windows.
class AccessibilityAuthorization {
public:
    AccessibilityAuthorization() = delete;

    // Never prompts.
    static bool isTrusted(platform::Accessibility& accessibility);
    // Shows the system's prompt when not yet trusted; the trust state at this moment. A grant
    // given later shows in a later isTrusted().
    static bool prompt(platform::Accessibility& accessibility);
};

}  // namespace vorn
