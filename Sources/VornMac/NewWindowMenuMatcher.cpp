#include "NewWindowMenuMatcher.h"

#include <algorithm>
#include <string_view>

namespace vorn {
namespace {

// The rules look for English words only, so ASCII folding is enough.
std::string lowercased(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return result;
}

}  // namespace

bool NewWindowMenuMatcher::isNewWindowTitle(const std::string& title) {
    const std::string lower = lowercased(title);
    if (lower.find("private") != std::string::npos
        || lower.find("incognito") != std::string::npos) {
        return false;
    }
    return lower.find("new window") != std::string::npos
           || (lower.starts_with("new ") && lower.ends_with(" window"));
}

std::optional<std::size_t> NewWindowMenuMatcher::pick(
    const std::vector<MenuItemDescriptor>& items) {
    bool anyTitled = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!isNewWindowTitle(items[i].title)) {
            continue;
        }
        if (items[i].enabled) {
            return i;
        }
        anyTitled = true;
    }
    if (anyTitled) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItemDescriptor& item = items[i];
        if (item.enabled && item.cmdChar && lowercased(*item.cmdChar) == "n"
            && item.cmdModifiers == 0) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace vorn
