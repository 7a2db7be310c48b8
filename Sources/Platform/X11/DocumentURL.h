#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn::platform::x11 {

// This machine's name, as gethostname() gave it at the first call; empty when it gave none.
const std::string& thisHostName();

// The absolute local path that a document names: an absolute path as it stands, or a file URL
// whose host is empty, "localhost" or this machine's name. No value for anything else: other
// hosts and schemes, relative paths, malformed escapes, NUL bytes.
std::optional<std::string> localDocumentPath(std::string_view pathOrURL);

}  // namespace vorn::platform::x11
