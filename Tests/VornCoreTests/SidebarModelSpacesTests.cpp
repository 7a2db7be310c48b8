#include <limits>

#include <gtest/gtest.h>

#include "SidebarModelHarness.h"

namespace vorn {
namespace {

using test::makeSpace;
using test::makeTab;
using test::makeWindow;
using test::SidebarModelHarness;

TEST(SidebarModelSpacesTests, CreateAppendsAfterTheLargestOrderAndShowsTheNewSpace) {
    constexpr auto maxOrder = std::numeric_limits<std::int64_t>::max();
    for (const auto& [orders, expected] :
         std::vector<std::pair<std::vector<std::int64_t>, std::int64_t>>{{{3, 0}, 4},
                                                                         {{maxOrder}, maxOrder}}) {
        SidebarModelHarness h;
        std::vector<Space> spaces;
        for (const auto order : orders) {
            spaces.push_back(makeSpace("S", order));
        }
        h.storeSpaces(spaces);
        h.wm->onScreen = {makeWindow(1, "a", "One")};
        auto& model = h.start(true);
        const Uuid id = model.createSpace();
        const Space& created = model.spaces().back();
        EXPECT_EQ(created.id, id);
        EXPECT_EQ(created.name, "New Space");
        EXPECT_EQ(created.order, expected);
        EXPECT_EQ(model.activeSpaceId(), id);
        EXPECT_EQ(model.ambient().size(), 1u);
        EXPECT_EQ(h.modelLog("createSpace"),
                  std::vector<std::string>{"createSpace id=" + id.string()
                                           + " -> spaces=" + std::to_string(orders.size() + 1)});
        EXPECT_EQ(h.store->saves.size(), 1u);
    }
}

TEST(SidebarModelSpacesTests, RenameTrimsAndIgnoresBlankNames) {
    SidebarModelHarness h;
    auto& model = h.start(true);
    const Uuid id = model.activeSpaceId();
    model.renameSpace(id, " \t ");
    model.renameSpace(Uuid::random(), "Nobody");
    EXPECT_TRUE(h.modelLog().empty());
    model.renameSpace(id, "  Work \n");
    model.renameSpace(id, "Work");
    EXPECT_EQ(model.spaces()[0].name, "Work");
    EXPECT_EQ(h.modelLog(),
              std::vector<std::string>(2, "renameSpace id=" + id.string() + " name=Work"));
    EXPECT_EQ(h.store->saves.size(), 1u);  // the same name again encodes the same
    EXPECT_EQ(h.listCalls(), 0u);
}

TEST(SidebarModelSpacesTests, DeletingTheActiveSpaceShowsTheNearestOneBefore) {
    struct Case {
        const char* name;
        std::vector<std::int64_t> orders;
        std::size_t active;
        std::size_t deleted;
        std::size_t expected;
    } cases[] = {
        {"middle", {0, 1, 2}, 1, 1, 0},
        {"lowest", {0, 1, 2}, 0, 0, 1},
        {"nearest below, not first in the list", {5, 1, 3, 9}, 3, 3, 0},
        {"equal lowest after it: first of them", {4, 7, 7}, 0, 0, 1},
        {"not active", {0, 1, 2}, 2, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SidebarModelHarness h;
        std::vector<Space> spaces;
        for (const auto order : c.orders) {
            spaces.push_back(makeSpace("S", order, {makeTab("a", "T", 0, 1)}));
        }
        h.storeSpaces(spaces, spaces[c.active].id);
        auto& model = h.start(true);
        EXPECT_TRUE(model.deleteSpace(spaces[c.deleted].id));
        EXPECT_EQ(model.spaces().size(), c.orders.size() - 1);
        EXPECT_EQ(model.activeSpaceId(), spaces[c.expected].id);
        EXPECT_EQ(h.modelLog("deleteSpace"),
                  std::vector<std::string>{"deleteSpace id=" + spaces[c.deleted].id.string()
                                           + " -> spaces=" + std::to_string(c.orders.size() - 1)
                                           + " activeSpaceId=" + spaces[c.expected].id.string()});
        EXPECT_EQ(h.listCalls(), 1u);
    }
}

TEST(SidebarModelSpacesTests, TheLastSpaceAndUnknownIdsAreNotDeleted) {
    SidebarModelHarness h;
    auto& model = h.start(true);
    const Uuid only = model.activeSpaceId();
    const Uuid unknown = Uuid::random();
    EXPECT_FALSE(model.deleteSpace(only));
    model.createSpace();
    h.forgetHistory();
    EXPECT_FALSE(model.deleteSpace(unknown));
    EXPECT_EQ(model.spaces().size(), 2u);
    EXPECT_EQ(h.modelLog(), std::vector<std::string>{"deleteSpace SKIPPED id=" + unknown.string()
                                                     + " (last remaining space or not found)"});
    EXPECT_TRUE(model.deleteSpace(model.spaces()[0].id));  // a reference into the model
    EXPECT_EQ(model.spaces().size(), 1u);
}

TEST(SidebarModelSpacesTests, SwitchRebuildsTheAmbientListOnlyForAnotherKnownSpace) {
    SidebarModelHarness h;
    h.wm->onScreen = {makeWindow(1, "a", "One"), makeWindow(2, "b", "Two")};
    h.storeSpaces({makeSpace("A", 0, {makeTab("a", "One", 0, 1)}), makeSpace("B", 1)});
    auto& model = h.start(true);
    const Uuid a = model.spaces()[0].id;
    const Uuid b = model.spaces()[1].id;
    EXPECT_EQ(model.ambient().size(), 1u);
    model.switchSpace(a);
    model.switchSpace(Uuid::random());
    EXPECT_EQ(h.listCalls(), 0u);
    EXPECT_TRUE(h.modelLog().empty());
    model.switchSpace(b);
    EXPECT_EQ(model.activeSpaceId(), b);
    EXPECT_EQ(model.ambient().size(), 2u);
    EXPECT_EQ(h.modelLog("switchSpace"),
              std::vector<std::string>{"switchSpace -> id=" + b.string()});
    EXPECT_EQ(h.store->saves.size(), 1u);
}

TEST(SidebarModelSpacesTests, PermissionFollowsAtTheNextRefresh) {
    SidebarModelHarness h;
    h.wm->permission = false;
    auto& model = h.start(true);
    model.requestPermission();
    EXPECT_FALSE(model.hasPermission());
    EXPECT_EQ(h.modelLog(), std::vector<std::string>{"requestPermission"});
    EXPECT_EQ(h.wm->calls, std::vector<std::string>{"requestAccessibilityPermission"});
    model.refresh();
    EXPECT_TRUE(model.hasPermission());
}

}  // namespace
}  // namespace vorn
