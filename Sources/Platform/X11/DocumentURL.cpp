#include "DocumentURL.h"

#include <array>

#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

bool isLocalHost(std::string_view host) {
    if (host.empty() || host == "localhost") {
        return true;
    }
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return false;
    }
    return host == std::string_view(name.data());
}

}  // namespace

std::optional<std::string> localDocumentPath(std::string_view pathOrURL) {
    std::string path;
    if (pathOrURL.starts_with("file:")) {
        std::string_view rest = pathOrURL.substr(5);
        // Neither a query nor a fragment names a part of a file.
        rest = rest.substr(0, rest.find_first_of("?#"));
        if (rest.starts_with("//")) {
            rest.remove_prefix(2);
            const auto slash = rest.find('/');
            if (slash == std::string_view::npos || !isLocalHost(rest.substr(0, slash))) {
                return std::nullopt;
            }
            rest.remove_prefix(slash);
        }
        auto decoded = percentDecode(rest);
        if (!decoded) {
            return std::nullopt;
        }
        path = std::move(*decoded);
    } else {
        path = std::string(pathOrURL);
    }
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return path;
}

std::string fileURL(std::string_view absolutePath) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (char c : absolutePath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')
                                || (byte >= '0' && byte <= '9') || byte == '-' || byte == '.'
                                || byte == '_' || byte == '~' || byte == '/';
        if (unreserved) {
            url.push_back(c);
        } else {
            url.push_back('%');
            url.push_back(digits[byte >> 4]);
            url.push_back(digits[byte & 0x0F]);
        }
    }
    return url;
}

}  // namespace vorn::platform::x11
