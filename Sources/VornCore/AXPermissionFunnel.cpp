#include "AXPermissionFunnel.h"

namespace vorn {

std::optional<TelemetryEvent> AXPermissionFunnel::update(bool trusted) {
    const std::optional<bool> before = lastTrusted;
    lastTrusted = trusted;
    if (!before || *before == trusted) {
        return std::nullopt;
    }
    return trusted ? TelemetryEvent::axGranted() : TelemetryEvent::axRevoked();
}

}  // namespace vorn
