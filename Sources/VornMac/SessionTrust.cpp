#include "SessionTrust.h"

namespace vorn {
namespace {

// The truth of a number under the key; absent or not a number gives no value.
std::optional<bool> numberFlag(const platform::Value& dictionary, std::string_view key) {
    const platform::Value* value = dictionary.member(key);
    return value != nullptr ? value->numberBoolValue() : std::nullopt;
}

}  // namespace

std::string_view untrustworthyName(Untrustworthy reason) {
    switch (reason) {
        case Untrustworthy::noSessionDict:
            return "noSessionDict";
        case Untrustworthy::locked:
            return "locked";
        case Untrustworthy::offConsole:
            return "offConsole";
    }
    return "noSessionDict";
}

std::optional<Untrustworthy> SessionTrust::untrustworthyReason(platform::WindowServer& server) {
    const std::optional<platform::Value> session = server.copySessionDictionary();
    if (!session || session->asDictionary() == nullptr) {
        return Untrustworthy::noSessionDict;
    }
    if (numberFlag(*session, platform::sessionkey::screenIsLocked) == true) {
        return Untrustworthy::locked;
    }
    // Only a session positively marked as on the console counts.
    if (numberFlag(*session, platform::sessionkey::onConsole) != true) {
        return Untrustworthy::offConsole;
    }
    return std::nullopt;
}

bool SessionTrust::isDisplayConfigTrustworthy(platform::WindowServer& server) {
    return !untrustworthyReason(server).has_value();
}

}  // namespace vorn
