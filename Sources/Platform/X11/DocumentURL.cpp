#include "DocumentURL.h"

#include <array>

#include "FileURL.h"

#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

std::string thisHostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return std::string(name.data());
}

}  // namespace

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
