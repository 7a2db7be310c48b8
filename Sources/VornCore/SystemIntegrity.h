#pragma once

#include <string_view>

namespace vorn {

// Whether the application runs from a translocated copy: a path with a directory named
// "AppTranslocation" in it, matched case-sensitively, without resolving the path.
bool isTranslocated(std::string_view bundlePath);

}  // namespace vorn
