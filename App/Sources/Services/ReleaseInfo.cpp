#include "ReleaseInfo.h"

namespace vorn {
namespace {

std::optional<std::string> unlessEmpty(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace

ReleaseInfo ReleaseInfo::current() {
    return {unlessEmpty(bundle::shortVersion), unlessEmpty(bundle::buildNumber)};
}

std::string ReleaseInfo::releaseName() const {
    return std::string(bundleIdentifier) + "@" + shortVersion.value_or("0.0.0") + "+"
           + buildNumber.value_or("0");
}

}  // namespace vorn
