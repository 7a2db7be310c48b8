#include "AccessibilityAuthorization.h"

namespace vorn {

bool AccessibilityAuthorization::isTrusted(platform::Accessibility& accessibility) {
    return accessibility.isProcessTrusted();
}

bool AccessibilityAuthorization::prompt(platform::Accessibility& accessibility) {
    return accessibility.promptForTrust();
}

}  // namespace vorn
