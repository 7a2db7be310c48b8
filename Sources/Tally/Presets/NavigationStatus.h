#pragma once

#include <optional>
#include <string>

namespace vorn::tally {

// The destination of the last navigation the client reported in this run. Used on the main
// thread only.
class NavigationStatus {
public:
    static NavigationStatus& shared();

    std::optional<std::string> previousNavigationPath;
};

}  // namespace vorn::tally
