#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorn {

// One menu item as the accessibility interface presents it.
struct MenuItemDescriptor {
    std::string title;                   // "" when absent or not text
    std::optional<std::string> cmdChar;  // the key equivalent; absent when there is none
    std::int64_t cmdModifiers = 0;       // 0, the Command key alone, when absent or not a number
    bool enabled = true;                 // true when absent or not a number

    friend bool operator==(const MenuItemDescriptor&, const MenuItemDescriptor&) = default;
};

// Decides which menu item opens a new ordinary window of an application.
class NewWindowMenuMatcher {
public:
    NewWindowMenuMatcher() = delete;

    // The first enabled item titled like "New Window" (never a private or incognito one); when
    // no item has such a title, the first enabled item on Command-N. No value when the only
    // items so titled are disabled: the application has then said no, and Command-N would be
    // something else.
    static std::optional<std::size_t> pick(const std::vector<MenuItemDescriptor>& items);
    // Whether the title names a new ordinary window, compared in lower case.
    static bool isNewWindowTitle(const std::string& title);
};

}  // namespace vorn
