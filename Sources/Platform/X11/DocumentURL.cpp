#include "DocumentURL.h"

#include <array>

#include "FileURL.h"

#include <unistd.h>

namespace vorn::platform::x11 {
const std::string& thisHostName() {
    // Asked once: it is compared for every window owner and every recently-used file.
    static const std::string name = [] {
        std::array<char, 256> buffer{};
        if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
            return std::string();
        }
        return std::string(buffer.data());
    }();
    return name;
}

std::optional<std::string> localDocumentPath(std::string_view pathOrURL) {
    if (pathOrURL.starts_with("file:")) {
        return FileURL::path(pathOrURL, thisHostName());
    }
    if (pathOrURL.empty() || pathOrURL.front() != '/'
        || pathOrURL.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(pathOrURL);
}

}  // namespace vorn::platform::x11
