#include "NewWindowMenuMatcher.h"

#include <string_view>

#include "Text.h"

namespace vorn {

bool NewWindowMenuMatcher::isNewWindowTitle(const std::string& title) {
    // The rules look for English words only, so ASCII folding is enough.
    const std::string lower = text::asciiLowercased(title);
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
        if (item.enabled && item.cmdChar && text::asciiLowercased(*item.cmdChar) == "n"
            && item.cmdModifiers == 0) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace vorn
