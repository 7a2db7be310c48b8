#include <functional>
#include <limits>
#include <unordered_set>
#include <utility>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "Models.h"
#include "TempDir.h"

namespace vorn {
namespace {

json::Value parsed(std::string_view text) {
    return *json::parse(text);
}

TEST(WindowIDTests, DescriptionAndJSONForm) {
    EXPECT_EQ(WindowID(0).description(), "win#0");
    EXPECT_EQ(WindowID(4294967295U).description(), "win#4294967295");
    EXPECT_EQ(json::writeCompact(WindowID(1234).toJSON()), R"({"raw":1234})");

    EXPECT_EQ(WindowID::fromJSON(parsed(R"({"raw": 7})")), WindowID(7));
    EXPECT_EQ(WindowID::fromJSON(parsed(R"({"raw": 7.0})")), WindowID(7));
    EXPECT_EQ(WindowID::fromJSON(parsed(R"({"raw": 4294967295})")), WindowID(4294967295U));
    for (const char* bad : {R"({})", R"({"raw": "7"})", R"({"raw": -1})", R"({"raw": 4294967296})",
                            R"({"raw": 7.5})", R"([7])", R"({"raw": null})"}) {
        EXPECT_FALSE(WindowID::fromJSON(parsed(bad))) << bad;
    }
}

TEST(AppRefTests, DecodingNeedsBundleIdAndDefaultsName) {
    EXPECT_EQ(AppRef::fromJSON(parsed(R"({"bundleId": "a.b"})")), (AppRef{"a.b", ""}));
    EXPECT_EQ(AppRef::fromJSON(parsed(R"({"bundleId": "a.b", "name": null})")),
              (AppRef{"a.b", ""}));
    EXPECT_EQ(AppRef::fromJSON(parsed(R"({"bundleId": "a.b", "name": 3})")), (AppRef{"a.b", ""}));
    EXPECT_FALSE(AppRef::fromJSON(parsed(R"({"name": "A"})")));
    EXPECT_FALSE(AppRef::fromJSON(parsed(R"({"bundleId": null})")));
}

TEST(AppRefTests, EqualityUsesBothFieldsUnderCanonicalEquivalence) {
    const AppRef a{"org.x", "Caf\xC3\xA9"};   // precomposed
    const AppRef b{"org.x", "Cafe\xCC\x81"};  // e + combining acute
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<AppRef>()(a), std::hash<AppRef>()(b));
    const AppRef renamed{"org.x", "Other"};
    EXPECT_NE(a, renamed);
    EXPECT_NE(std::hash<AppRef>()(a), std::hash<AppRef>()(renamed));
    EXPECT_NE((AppRef{"org.x", "A"}), (AppRef{"org.X", "A"}));
}

TEST(WindowInfoTests, DisplayTitleAndEquality) {
    WindowInfo w{WindowID(1), AppRef{"a", "App"}, "", Rect(0, 0, 10, 10), WindowState::normal, {}};
    EXPECT_EQ(w.displayTitle(), "App");
    w.title = " ";
    EXPECT_EQ(w.displayTitle(), " ");

    WindowInfo moved = w;
    moved.frame.origin.x += 0.001;
    EXPECT_NE(w, moved);
    WindowInfo withDocument = w;
    withDocument.docPath = "/tmp/x";
    EXPECT_NE(w, withDocument);
    EXPECT_EQ(w, WindowInfo(w));

    EXPECT_EQ(windowStateFromRaw("minimized"), WindowState::minimized);
    EXPECT_FALSE(windowStateFromRaw("Normal"));
}

TEST(StateFileTests, GoldenFileRoundTripsByteForByte) {
    const std::string golden =
        test::readText(std::filesystem::path(VORN_FIXTURES) / "golden-state.json");
    const auto state = decodeStateFile(golden);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->spaces.size(), 2U);
    EXPECT_EQ(state->settings.placement, PlacementMode::center);
    EXPECT_EQ(state->settings.side, SidebarSide::right);
    EXPECT_EQ(state->settings.sidebarWidth, 172.5);
    const SpaceTab& claimed = state->spaces[0].tabs[1];
    EXPECT_TRUE(claimed.isClaimed());
    EXPECT_EQ(claimed.claimExpiresAt->secondsSinceReference(), 786134412.25);
    EXPECT_EQ(state->spaces[0].tabs[0].boundWindowID, WindowID(4242));
    EXPECT_EQ(*state->spaces[0].tabs[0].docPath, "file:///home/ada/Notes/café \"draft\".txt");

    const auto encoded = encodeStateFile(*state);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, golden);
    EXPECT_EQ(encodeStateFile(*decodeStateFile(*encoded)), encoded);
}

// The file is written piece by piece; it must be the tree's text to the byte, whatever is
// present or absent.
TEST(StateFileTests, WrittenFileIsTheStateTreePrettyPrinted) {
    const std::string golden =
        test::readText(std::filesystem::path(VORN_FIXTURES) / "golden-state.json");
    AppState full = *decodeStateFile(golden);
    full.spaces.push_back(full.spaces[0]);
    full.spaces.back().name = "\"\\/\x01\xC3\xA9";
    full.spaces.back().tabs[0].claimExpiresAt = Date(-0.5);
    AppState bare;
    bare.spaces.emplace_back();
    const AppState empty;
    for (const AppState* state : {&std::as_const(full), &std::as_const(bare), &empty}) {
        EXPECT_EQ(encodeStateFile(*state), json::writePretty(encodeAppState(*state)));
    }
}

TEST(StateFileTests, MinimalTabWritesFourKeysAndEmptyStateIsDefaulted) {
    const auto state = decodeStateFile(R"({"spaces":[{"tabs":[{"app":{"bundleId":"a"}}]}]})");
    ASSERT_TRUE(state);
    const SpaceTab& tab = state->spaces.at(0).tabs.at(0);
    EXPECT_FALSE(tab.isClaimed());
    EXPECT_FALSE(tab.boundWindowID);
    EXPECT_EQ(tab.lastTitle, "");
    EXPECT_EQ(tab.order, 0);
    EXPECT_EQ(state->spaces[0].name, "Space");
    const auto json = encodeAppState(*state);
    EXPECT_EQ(json["spaces"][0]["tabs"][0].size(), 4U);
    // A missing id is made up afresh on every read.
    EXPECT_NE(decodeStateFile(R"({"spaces":[{"tabs":[{"app":{"bundleId":"a"}}]}]})")
                  ->spaces[0]
                  .tabs[0]
                  .id,
              tab.id);

    const auto empty = decodeStateFile("{}");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->version, 1);
    EXPECT_TRUE(empty->spaces.empty());
    EXPECT_FALSE(empty->activeSpaceId);
    EXPECT_EQ(empty->settings, Settings());
    EXPECT_FALSE(empty->sessionToken);
    for (const char* notAnObject : {"[]", "42", "\"x\"", "null", "not json", ""}) {
        EXPECT_FALSE(decodeStateFile(notAnObject)) << notAnObject;
    }
}

// One row per rule of the lenient reader: the text of a tab, space or settings object and the
// field it must produce.
TEST(StateFileTests, LeniencyRules) {
    const auto tabWith = [](const std::string& fields) {
        const auto state =
            decodeStateFile(R"({"spaces":[{"tabs":[{"app":{"bundleId":"a"},)" + fields + "}]}]}");
        return state->spaces.at(0).tabs.at(0);
    };
    EXPECT_EQ(tabWith(R"("order": 3.0)").order, 3);
    EXPECT_EQ(tabWith(R"("order": 3.5)").order, 0);
    EXPECT_EQ(tabWith(R"("order": "3")").order, 0);
    EXPECT_EQ(tabWith(R"("order": 1e300)").order, 0);
    EXPECT_FALSE(tabWith(R"("boundWindowID": {"raw": -1})").boundWindowID);
    EXPECT_FALSE(tabWith(R"("boundWindowID": {"raw": "7"})").boundWindowID);
    EXPECT_EQ(tabWith(R"("boundWindowID": {"raw": 7})").boundWindowID, WindowID(7));
    EXPECT_FALSE(tabWith(R"("claimExpiresAt": "2026-01-01T00:00:00Z")").isClaimed());
    EXPECT_EQ(tabWith(R"("docPath": 12)").docPath, std::nullopt);
    EXPECT_EQ(tabWith(R"("lastTitle": null)").lastTitle, "");
    EXPECT_EQ(tabWith(R"("id": "0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0")").id.string(),
              "0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0");
    EXPECT_NE(tabWith(R"("id": "not-a-uuid")").id, Uuid());

    const auto settingsOf = [](const std::string& settings) {
        return decodeStateFile(R"({"settings":)" + settings + "}")->settings;
    };
    EXPECT_EQ(settingsOf(R"({"side":"Right"})").side, SidebarSide::left);
    EXPECT_EQ(settingsOf(R"({"side":"right"})").side, SidebarSide::right);
    EXPECT_EQ(settingsOf(R"({"side":"top"})").side, SidebarSide::left);
    EXPECT_EQ(settingsOf(R"({"placement":"Fill"})").placement, PlacementMode::fill);
    EXPECT_EQ(settingsOf(R"({"placement":"center"})").placement, PlacementMode::center);
    EXPECT_EQ(settingsOf(R"({"placement":"diagonal"})").placement, PlacementMode::fill);
    EXPECT_EQ(settingsOf(R"({"placement":3})").placement, PlacementMode::fill);
    EXPECT_EQ(settingsOf(R"({"sidebarWidth":-20})").sidebarWidth, -20);
    EXPECT_EQ(settingsOf(R"({"sidebarWidth":"200"})").sidebarWidth, 160);
    EXPECT_FALSE(decodeStateFile(R"({"settings":{"sidebarWidth":1e999}})"));
    EXPECT_EQ(settingsOf(R"("wide")"), Settings());

    const auto top = decodeStateFile(
        R"({"version":"2","spaces":{},"activeSpaceId":"5b3f1c2a-0d4e-4f6a-8b9c-1d2e3f4a5b6c",)"
        R"("sessionToken":5})");
    EXPECT_EQ(top->version, 1);
    EXPECT_TRUE(top->spaces.empty());
    EXPECT_EQ(top->activeSpaceId->string(), "5B3F1C2A-0D4E-4F6A-8B9C-1D2E3F4A5B6C");
    EXPECT_FALSE(top->sessionToken);

    const auto space = decodeStateFile(R"({"spaces":[{"name":7,"order":2,"tabs":"x",)"
                                       R"("ambientCollapsed":1}]})")
                           ->spaces.at(0);
    EXPECT_EQ(space.name, "Space");
    EXPECT_EQ(space.order, 2);
    EXPECT_TRUE(space.tabs.empty());
    EXPECT_FALSE(space.ambientCollapsed);
}

TEST(StateFileTests, CorruptSpacesAndTabsAreDroppedAndCounted) {
    test::CapturingLogSink log;
    const auto state = decodeStateFile(R"({"spaces":[
        {"name":"A","tabs":[{"app":{"bundleId":"x"},"lastTitle":"one"},
                            {"lastTitle":"no app"},
                            {"app":{"bundleId":"y"},"lastTitle":"three"}]},
        42,
        {"name":"C"}]})");
    ASSERT_TRUE(state);
    ASSERT_EQ(state->spaces.size(), 2U);
    EXPECT_EQ(state->spaces[0].name, "A");
    EXPECT_EQ(state->spaces[1].name, "C");
    ASSERT_EQ(state->spaces[0].tabs.size(), 2U);
    EXPECT_EQ(state->spaces[0].tabs[0].lastTitle, "one");
    EXPECT_EQ(state->spaces[0].tabs[1].lastTitle, "three");
    EXPECT_EQ(log.messages("store"),
              (std::vector<std::string>{"Space decode: dropped 1 corrupt tab(s), kept 2",
                                        "AppState decode: dropped 1 corrupt Space(s), kept 2"}));
}

TEST(StateFileTests, WritingNeverFailsOnBadTextButRefusesNonFiniteNumbers) {
    AppState state;
    Space space;
    space.name = "bad \xFF\xFE bytes";
    SpaceTab tab;
    tab.app = AppRef{"a\xC3", "\xE2\x82"};
    tab.docPath = std::string("/tmp/\xC0\xAF");
    space.tabs.push_back(tab);
    state.spaces.push_back(space);
    const auto encoded = encodeStateFile(state);
    ASSERT_TRUE(encoded);
    const auto back = decodeStateFile(*encoded);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->spaces[0].name, "bad \xEF\xBF\xBD\xEF\xBF\xBD bytes");
    EXPECT_EQ(back->spaces[0].tabs[0].app.bundleId, "a\xEF\xBF\xBD");

    state.settings.sidebarWidth = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(encodeStateFile(state));
    state.settings.sidebarWidth = 160;
    state.spaces[0].tabs[0].claimExpiresAt = Date(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(encodeStateFile(state));
}

TEST(StateFileTests, IdenticalMeansTheSameBytesAndBits) {
    SpaceTab tab;
    tab.app = AppRef{"a", "caf\xC3\xA9"};
    tab.claimExpiresAt = Date(5);
    Space base;
    base.tabs = {tab};
    using Edit = std::function<void(Space&)>;
    const std::pair<const char*, Edit> edits[] = {
        {"decomposed name", [](Space& s) { s.tabs[0].app.name = "cafe\xCC\x81"; }},
        {"no expiry", [](Space& s) { s.tabs[0].claimExpiresAt.reset(); }},
        {"bound", [](Space& s) { s.tabs[0].boundWindowID = WindowID(0); }},
        {"empty path", [](Space& s) { s.tabs[0].docPath = ""; }},
        {"order", [](Space& s) { s.tabs[0].order = 1; }},
        {"one tab more", [](Space& s) { s.tabs.push_back(s.tabs[0]); }},
        {"collapsed", [](Space& s) { s.ambientCollapsed = true; }},
    };
    const auto encode = [](const Space& space) {
        AppState state;
        state.spaces = {space};
        return encodeStateFile(state);
    };
    EXPECT_TRUE(identical(base, Space(base)));
    for (const auto& [name, edit] : edits) {
        Space edited = base;
        edit(edited);
        EXPECT_FALSE(identical(base, edited)) << name;
        EXPECT_NE(encode(base), encode(edited)) << name;
    }
    Settings negativeZero;
    negativeZero.sidebarWidth = -0.0;
    Settings zero;
    zero.sidebarWidth = 0.0;
    EXPECT_FALSE(identical(negativeZero, zero));
    EXPECT_TRUE(identical(zero, Settings(zero)));
}

}  // namespace
}  // namespace vorn
