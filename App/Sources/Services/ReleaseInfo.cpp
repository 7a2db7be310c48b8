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

std::string ReleaseInfo::version() const {
    return shortVersion.value_or("0.0.0");
}

std::string ReleaseInfo::build() const {
    return buildNumber.value_or("0");
}

std::string ReleaseInfo::releaseName() const {
    return std::string(bundleIdentifier) + "@" + version() + "+" + build();
}

}  // namespace vorn
