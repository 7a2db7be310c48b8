#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// File URLs as documents are named to applications: "file:///Users/a/notes%20b.txt".
class FileURL {
public:
    FileURL() = delete;

    // The decoded absolute path of a local file URL ("file:/path", "file:///path",
    // "file://localhost/path", or with `thisHost` as the host when one is given). No value for
    // anything else: another host, a relative path, a character that has no place in a URL, a
    // broken escape or an escaped NUL.
    static std::optional<std::string> path(std::string_view url, std::string_view thisHost = {});
    // The file URL of an absolute path, escaping what a URL path cannot hold as it is.
    static std::string fromPath(std::string_view absolutePath);
};

}  // namespace vorn
