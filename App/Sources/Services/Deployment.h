#pragma once

#include <string>

namespace vorn {

// Where the outside services report to, fixed at build time. An empty value keeps its service
// off.
struct DeploymentConstants {
    std::string crashDSN;
    std::string analyticsAppID;
    std::string analyticsBaseURL;

    // This build's constants.
    static DeploymentConstants current();
};

}  // namespace vorn
