// Feeds arbitrary bytes to the file-URL reader. A path it gives must be absolute, and the URL
// made from that path must read back as the same path.
#include <string>

#include "FileURL.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    const auto path = vorn::FileURL::path(vorn::fuzz::bytesOf(data, size), "thishost");
    if (!path) {
        return 0;
    }
    check(!path->empty() && path->front() == '/' && path->find('\0') == std::string::npos);
    check(vorn::FileURL::path(vorn::FileURL::fromPath(*path)) == path);
    return 0;
}
