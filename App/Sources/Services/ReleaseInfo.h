#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "BundleInfo.h"

namespace vorn {

// The program's identity. The identifier is a constant of the program; the version and build
// number come from the build's settings.
struct ReleaseInfo {
    static constexpr std::string_view bundleIdentifier = bundle::identifier;

    // Such as 1.4.2; absent when the build gave none.
    std::optional<std::string> shortVersion;
    // Such as 57; absent when the build gave none.
    std::optional<std::string> buildNumber;

    // This build's version and build number.
    static ReleaseInfo current();

    // The short version, else 0.0.0: what the program shows as its version.
    std::string version() const;
    // The build number, else 0.
    std::string build() const;

    // The identifier, "@", the short version (else 0.0.0), "+" and the build number (else 0),
    // such as org.vorn.Vorn@1.4.2+57.
    std::string releaseName() const;
};

}  // namespace vorn
