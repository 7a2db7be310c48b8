#include "BundleInfo.h"

#include "BuildSettings.h"

namespace vorn {
namespace {

std::optional<std::string> unlessEmpty(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace

BundleInfo BundleInfo::current() {
    return {unlessEmpty(VORN_SHORT_VERSION), unlessEmpty(VORN_BUILD_NUMBER)};
}

std::string BundleInfo::releaseName() const {
    return std::string(bundleIdentifier) + "@" + shortVersion.value_or("0.0.0") + "+"
           + buildNumber.value_or("0");
}

}  // namespace vorn
