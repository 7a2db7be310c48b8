#include <gtest/gtest.h>

#include "NewWindowMenuMatcher.h"

namespace vorn {
namespace {

MenuItemDescriptor item(std::string title,
                        std::optional<std::string> cmdChar = std::nullopt,
                        std::int64_t modifiers = 0,
                        bool enabled = true) {
    return {std::move(title), std::move(cmdChar), modifiers, enabled};
}

TEST(NewWindowMenuMatcherTest, PicksTheNewWindowItem) {
    struct Case {
        const char* name;
        std::vector<MenuItemDescriptor> items;
        std::optional<std::size_t> expected;
    };
    const std::vector<Case> cases = {
        {"private and incognito windows are passed over",
         {item("New Private Window"), item("New Incognito Window"), item("New Window")},
         2},
        {"a titled item beats an earlier Command-N",
         {item("New Tab", "n"), item("New Viewer Window")},
         1},
        {"a disabled New Window item blocks the key fallback",
         {item("New Window", std::nullopt, 0, false), item("Open", "N")},
         std::nullopt},
        {"the key fallback", {item("Open", "o"), item("New", "n")}, 1},
        {"the key fallback needs the Command key alone", {item("New", "n", 1)}, std::nullopt},
        {"the key fallback needs the item enabled", {item("New", "n", 0, false)}, std::nullopt},
        {"upper-case key", {item("New", "N")}, 0},
        {"titles compare in lower case", {item("Close"), item("NEW WINDOW")}, 1},
        {"new window anywhere in the title", {item("Open New Window Here")}, 0},
        {"new ... window", {item("New Terminal Window")}, 0},
        {"the fallback ignores the exclusions", {item("New Private Tab", "n")}, 0},
        {"a private window on Command-N is left to the key fallback",
         {item("New Private Window", "n")},
         0},
        {"the text is looked for, not words", {item("Renew window")}, 0},
        {"new but not a window", {item("New Tab"), item("New Folder")}, std::nullopt},
        {"window but not new", {item("Window")}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NewWindowMenuMatcher::pick(c.items), c.expected);
    }
}

}  // namespace
}  // namespace vorn
