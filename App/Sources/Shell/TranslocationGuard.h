#pragma once

#include <string_view>

namespace vorn::app {

// Warns when the program runs from a temporary, read-only copy, where it cannot keep its
// permission or update itself.
class TranslocationGuard {
public:
    TranslocationGuard() = delete;

    // Logs and shows a modal warning when the path is a translocated copy; true then.
    static bool checkAndWarn(std::string_view bundlePath);
};

}  // namespace vorn::app
