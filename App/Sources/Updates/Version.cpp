#include "Version.h"

#include <string>
#include <vector>

namespace vorn::updates {
namespace {

// The components without leading zeros, or no value when the text is not a version.
std::optional<std::vector<std::string_view>> components(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        std::string_view part =
            text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (part.empty()) {
            return std::nullopt;
        }
        for (const char c : part) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
        }
        while (part.size() > 1 && part.front() == '0') {
            part.remove_prefix(1);
        }
        parts.push_back(part);
        if (dot == std::string_view::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

int compareNumbers(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

std::optional<int> compareVersions(std::string_view a, std::string_view b) {
    const auto left = components(a);
    const auto right = components(b);
    if (!left || !right) {
        return std::nullopt;
    }
    const std::size_t count = std::max(left->size(), right->size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view x = i < left->size() ? (*left)[i] : "0";
        const std::string_view y = i < right->size() ? (*right)[i] : "0";
        if (const int order = compareNumbers(x, y); order != 0) {
            return order;
        }
    }
    return 0;
}

bool isVersion(std::string_view text) {
    return components(text).has_value();
}

}  // namespace vorn::updates
