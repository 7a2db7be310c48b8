#include "ProcessInfo.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include <unistd.h>

namespace vorn::platform {

std::int32_t SystemProcessInfo::processIdentifier() {
    return static_cast<std::int32_t>(::getpid());
}

std::optional<std::uint32_t> SystemProcessInfo::auditSessionID() {
    std::ifstream in("/proc/self/sessionid");
    if (!in) {
        return std::nullopt;
    }
    // The file holds one short number; reading more than a line would only mean it is corrupt.
    std::string text;
    std::getline(in, text);
    return parseAuditSessionID(text);
}

std::optional<std::uint32_t> parseAuditSessionID(std::string_view text) {
    while (!text.empty()
           && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t'
               || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (value == std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace vorn::platform
