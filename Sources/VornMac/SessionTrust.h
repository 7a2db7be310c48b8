#pragma once

#include <optional>
#include <string_view>

#include "WindowServer.h"

namespace vorn {

// Why the session cannot be trusted to report the real displays and windows.
enum class Untrustworthy {
    noSessionDict,
    locked,
    offConsole
};

std::string_view untrustworthyName(Untrustworthy reason);

// Whether the login session is the active console session with the screen unlocked.
class SessionTrust {
public:
    SessionTrust() = delete;

    static bool isDisplayConfigTrustworthy(platform::WindowServer& server);
    // No value when the session can be trusted.
    static std::optional<Untrustworthy> untrustworthyReason(platform::WindowServer& server);
};

}  // namespace vorn
