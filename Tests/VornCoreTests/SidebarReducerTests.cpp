#include <gtest/gtest.h>

#include "ScriptedWindowManager.h"
#include "SidebarReducer.h"

namespace vorn {
namespace {

using test::makeWindow;

const Date now(1000);

SpaceTab tab(std::int64_t order,
             const std::string& bundle,
             const std::string& title,
             std::optional<std::uint32_t> bound = {},
             std::optional<std::string> doc = {},
             std::optional<Date> expiry = {}) {
    SpaceTab t{Uuid::random(), AppRef{bundle, bundle}, title, order, std::move(doc), {}, expiry};
    if (bound) {
        t.boundWindowID = WindowID(*bound);
    }
    return t;
}

std::vector<WindowID> windowIDs(const std::vector<std::uint32_t>& numbers) {
    return {numbers.begin(), numbers.end()};
}

// "title@window!misses ... | ambient windows", in the layout's order; "-" for no window.
std::string describe(const SidebarLayout& layout) {
    std::string out;
    std::size_t counted = 0;
    for (const auto& t : layout.tabs) {
        out += t.lastTitle + "@" + (t.boundWindowID ? std::to_string(t.boundWindowID->raw) : "-");
        if (const auto m = layout.absenceCounts.find(t.id); m != layout.absenceCounts.end()) {
            out += "!" + std::to_string(m->second);
            ++counted;
        }
        out += " ";
    }
    out += counted == layout.absenceCounts.size() ? "|" : "(counts for removed tabs) |";
    for (const auto& w : layout.ambient) {
        out += " " + std::to_string(w.windowID.raw);
    }
    return out;
}

struct ReduceCase {
    const char* name;
    std::vector<SpaceTab> tabs = {};
    std::vector<WindowInfo> live = {};
    std::string expected;
    int priorMissesOfFirst = 0;
    std::vector<std::uint32_t> alive = {};
    std::vector<std::uint32_t> focus = {};
};

TEST(SidebarReducerTests, Reduce) {
    const auto w3 = makeWindow(3, "a", "Doc");
    const std::vector<WindowInfo> twins = {makeWindow(1, "a", "Same"), makeWindow(2, "a", "same")};
    std::vector<WindowInfo> four;
    for (std::uint32_t n : {1, 2, 3, 4, 3}) {
        four.push_back(makeWindow(n, "z", "w"));
    }
    const auto docTab = [](std::int64_t order, const char* title, const char* doc) {
        return tab(order, "a", title, {}, doc);
    };
    // clang-format off
    const ReduceCase cases[] = {
        {.name = "first miss keeps", .tabs = {tab(0, "a", "Doc", 1)}, .expected = "Doc@1!1 |"},
        {.name = "second miss unbinds", .tabs = {tab(0, "a", "Doc", 1)}, .expected = "Doc@- |",
         .priorMissesOfFirst = 1},
        {.name = "seen again resets, an unknown title keeps the saved one",
         .tabs = {tab(0, "a", "Doc", 1)}, .live = {makeWindow(1, "a", "")}, .expected = "Doc@1 |",
         .priorMissesOfFirst = 1},
        {.name = "a document binds a window without a title, the saved title stays",
         .tabs = {docTab(0, "Report", "/r")}, .live = {makeWindow(6, "a", "", "/r")},
         .expected = "Report@6 |"},
        {.name = "alive off screen", .tabs = {tab(0, "a", "Doc", 1)}, .expected = "Doc@1 |",
         .priorMissesOfFirst = 1, .alive = {1}},
        {.name = "number reused by another app",
         .tabs = {tab(0, "a", "Old", 5), tab(1, "b", "New")}, .live = {makeWindow(5, "b", "New")},
         .expected = "Old@5!1 New@5 |"},
        {.name = "reused number is ambient", .tabs = {tab(0, "a", "Old", 5)},
         .live = {makeWindow(5, "b", "New")}, .expected = "Old@5!1 | 5"},
        {.name = "expiry at now",
         .tabs = {tab(0, "a", "Doc", 3, {}, now), tab(1, "a", "x", {}, {}, now.adding(1))},
         .live = {w3}, .expected = "x@- | 3"},
        {.name = "expired tab's window held by another",
         .tabs = {tab(0, "a", "Doc", 3, {}, now), tab(1, "a", "Doc", 3)}, .live = {w3},
         .expected = "Doc@3 |"},
        {.name = "first tab by order wins a document",
         .tabs = {docTab(1, "x", "/p"), docTab(0, "y", "/p")},
         .live = {makeWindow(7, "a", "P", "/p")}, .expected = "P@7 x@- |"},
        {.name = "ambiguous document blocks the title", .tabs = {docTab(0, "Q", "/q")},
         .live = {makeWindow(1, "a", "Q", "/q"), makeWindow(2, "a", "R", "/q")},
         .expected = "Q@- | 1 2"},
        {.name = "marker and suffixes", .tabs = {tab(0, "Pages", "report")},
         .live = {makeWindow(1, "Pages", "\u25CF Report \u2014 Edited \u2014 Pages")},
         .expected = "\u25CF Report \u2014 Edited \u2014 Pages@1 |"},
        {.name = "a tab named after its app does not take a window without a title",
         .tabs = {tab(0, "Calc", "Calc")}, .live = {makeWindow(4, "Calc", "")},
         .expected = "Calc@- | 4"},
        {.name = "equal titles bind nothing", .tabs = {tab(0, "a", "Same"), tab(1, "a", "Same")},
         .live = twins, .expected = "Same@- Same@- | 1 2"},
        {.name = "titles of another app", .tabs = {tab(0, "b", "Same")}, .live = twins,
         .expected = "Same@- | 1 2"},
        {.name = "focused by rank, then live order, once each", .live = four,
         .expected = "| 3 1 2 4", .focus = {3, 9, 1, 3}},
        {.name = "no focus order", .live = four, .expected = "| 1 2 3 4"},
    };
    // clang-format on
    for (const auto& c : cases) {
        AbsenceCounts prior;
        if (c.priorMissesOfFirst > 0) {
            prior[c.tabs[0].id] = c.priorMissesOfFirst;
        }
        const auto alive = windowIDs(c.alive);
        const auto layout = SidebarReducer::reduce(c.tabs, c.live, windowIDs(c.focus), now, prior,
                                                   2, {alive.begin(), alive.end()});
        EXPECT_EQ(describe(layout), c.expected) << c.name;
    }
}

// An editor with tabs shows one document of a window at a time: a pinned tab keeps its document
// while its window shows another pinned tab's, and follows it to any other document. A Recent
// tab always follows its window. Titles always follow.
TEST(SidebarReducerTests, APinnedTabKeepsItsDocumentWhileItsWindowShowsAnotherPinnedOne) {
    const std::vector<SpaceTab> tabs = {tab(0, "a", "notes.txt", 1, "/notes.txt"),
                                        tab(1, "a", "shopping.txt", {}, "/shopping.txt"),
                                        tab(2, "a", "recent.txt", 2, "/recent.txt", now.adding(9))};
    const auto reduce = [&](const std::string& shownIn1, const std::string& shownIn2) {
        const std::vector<WindowInfo> live = {makeWindow(1, "a", shownIn1, "/" + shownIn1),
                                              makeWindow(2, "a", shownIn2, "/" + shownIn2)};
        std::vector<std::string> out;
        for (const SpaceTab& t : SidebarReducer::reduce(tabs, live, {}, now, {}, 2, {}).tabs) {
            out.push_back(t.lastTitle + " " + t.docPath.value_or("-") + "@"
                          + (t.boundWindowID ? std::to_string(t.boundWindowID->raw) : "-"));
        }
        return out;
    };
    EXPECT_EQ(reduce("shopping.txt", "shopping.txt"),
              (std::vector<std::string>{"shopping.txt /notes.txt@1", "shopping.txt /shopping.txt@-",
                                        "shopping.txt /shopping.txt@2"}));
    EXPECT_EQ(reduce("todo.txt", "notes.txt"),
              (std::vector<std::string>{"todo.txt /todo.txt@1", "shopping.txt /shopping.txt@-",
                                        "notes.txt /notes.txt@2"}));
}

TEST(SidebarReducerTests, ActiveWindowAndCollapsedAmbient) {
    const std::vector<WindowInfo> ambient = {makeWindow(1, "a", "x"), makeWindow(3, "a", "y")};
    const std::vector<SpaceTab> tabs = {tab(0, "a", "t", 9)};
    const auto focus = windowIDs({7, 3, 9, 1});
    EXPECT_EQ(SidebarReducer::activeWindowID(ambient, tabs, focus), WindowID(3));
    EXPECT_EQ(SidebarReducer::activeWindowID({}, tabs, focus), WindowID(9));
    EXPECT_EQ(SidebarReducer::activeWindowID(ambient, tabs, {}), std::nullopt);

    EXPECT_EQ(SidebarReducer::collapsedAmbient(ambient, WindowID(3)), (std::vector{ambient[1]}));
    EXPECT_TRUE(SidebarReducer::collapsedAmbient(ambient, WindowID(9)).empty());
    EXPECT_TRUE(SidebarReducer::collapsedAmbient(ambient, std::nullopt).empty());
}

}  // namespace
}  // namespace vorn
