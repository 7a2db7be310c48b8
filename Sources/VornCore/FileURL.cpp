#include "FileURL.h"

#include <cstdint>

#include "Text.h"

namespace vorn {
namespace {

constexpr std::string_view scheme = "file:";

bool isUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
           || c == '.' || c == '_' || c == '~';
}

// Characters a path segment may carry unescaped.
bool isPathCharacter(char c) {
    return isUnreserved(c) || c == '/' || c == '!' || c == '$' || c == '&' || c == '\'' || c == '('
           || c == ')' || c == '*' || c == '+' || c == ',' || c == ';' || c == '=' || c == ':'
           || c == '@';
}

std::optional<std::string> decodePath(std::string_view encoded) {
    std::string decoded;
    decoded.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            if (i + 2 >= encoded.size()) {
                return std::nullopt;
            }
            const int high = text::hexDigitValue(encoded[i + 1]);
            const int low = text::hexDigitValue(encoded[i + 2]);
            if (high < 0 || low < 0 || (high == 0 && low == 0)) {
                return std::nullopt;
            }
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (isPathCharacter(c)) {
            decoded.push_back(c);
        } else {
            return std::nullopt;
        }
    }
    return decoded;
}

}  // namespace

std::optional<std::string> FileURL::path(std::string_view url, std::string_view thisHost) {
    if (url.size() < scheme.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        const char c = url[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != scheme[i]) {
            return std::nullopt;
        }
    }
    std::string_view rest = url.substr(scheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && host != "localhost" && (thisHost.empty() || host != thisHost)) {
            return std::nullopt;
        }
        rest.remove_prefix(slash);
    }
    // Queries and fragments name no part of a file.
    if (const std::size_t end = rest.find_first_of("?#"); end != std::string_view::npos) {
        rest = rest.substr(0, end);
    }
    if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    return decodePath(rest);
}

std::string FileURL::fromPath(std::string_view absolutePath) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string url(scheme);
    url += "//";
    for (char c : absolutePath) {
        // ';' and '=' are legal but some readers split on them; '?' and '#' would end the path.
        if (isPathCharacter(c) && c != ';' && c != '=') {
            url.push_back(c);
        } else {
            const auto byte = static_cast<std::uint8_t>(c);
            url.push_back('%');
            url.push_back(digits[byte >> 4]);
            url.push_back(digits[byte & 0x0F]);
        }
    }
    return url;
}

}  // namespace vorn
