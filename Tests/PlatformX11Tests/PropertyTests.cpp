#include <array>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ClientList.h"
#include "Monitors.h"
#include "Properties.h"
#include "UsableArea.h"

namespace vorn::platform::x11 {
namespace {

constexpr xcb_atom_t utf8 = 300;

PropertyView view(xcb_atom_t type, std::uint8_t format, const std::vector<std::uint8_t>& bytes) {
    return {type, format, {bytes.data(), bytes.size()}};
}

std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> bytes(values.size() * 4);
    std::memcpy(bytes.data(), std::data(values), bytes.size());
    return bytes;
}

std::vector<std::uint8_t> text(std::string_view s) {
    return {s.begin(), s.end()};
}

TEST(X11PropertyTest, CardinalsNeedFormat32AndIgnoreATrailingFragment) {
    auto bytes = words({7, 8, 9});
    EXPECT_EQ(cardinals(view(XCB_ATOM_CARDINAL, 32, bytes)), (std::vector<std::uint32_t>{7, 8, 9}));
    EXPECT_TRUE(cardinals(view(XCB_ATOM_CARDINAL, 8, bytes)).empty());
    bytes.push_back(1);
    EXPECT_EQ(cardinals(view(XCB_ATOM_CARDINAL, 32, bytes)).size(), 3u);
    EXPECT_EQ(firstCardinal(view(XCB_ATOM_CARDINAL, 32, {1, 2, 3})), std::nullopt);
    EXPECT_EQ(firstCardinal(viewOf(nullptr)), std::nullopt);
}

TEST(X11PropertyTest, TextIsUTF8OrLatin1UpToTheFirstNul) {
    struct Case {
        const char* name;
        PropertyView property;
        std::optional<std::string> expected;
    };
    const auto umlaut = text(
        "Gr\xC3\xBC\xC3\x9F"
        "e");
    const auto latin = text("Caf\xE9");
    const auto broken = text(
        "a\xFF"
        "b");
    const auto nul = text(std::string_view("one\0two", 7));
    const Case cases[] = {
        {"UTF-8", view(utf8, 8, umlaut), "Grüße"},
        {"Latin-1 converted", view(XCB_ATOM_STRING, 8, latin), "Café"},
        {"invalid UTF-8 repaired", view(utf8, 8, broken),
         "a\xEF\xBF\xBD"
         "b"},
        {"cut at NUL", view(utf8, 8, nul), "one"},
        {"wrong format", view(utf8, 32, umlaut), std::nullopt},
        {"absent", PropertyView{}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(propertyText(c.property, utf8), c.expected);
    }
}

TEST(X11PropertyTest, CompoundTextIsDecodedSegmentBySegment) {
    constexpr xcb_atom_t compound = 301;
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        // "Привет" in ISO 8859-5, as Xlib writes it in a Russian locale.
        {"Cyrillic", "CT5 \x1B-L\xBF\xE0\xD8\xD2\xD5\xE2", "CT5 Привет"},
        {"Latin-1 by default", "Caf\xE9", "Café"},
        {"Greek, then back to Latin-1", "\x1B-F\xE1\xE2 \x1B-A\xE9", "αβ é"},
        {"Japanese, in the right half", "\x1B$)B\xC6\xFC\xCB\xDC", "日本"},
        {"Japanese, in the left half", "\x1B$(BF|\x1B(B!", "日!"},
        {"Korean", "\x1B$)C\xC7\xD1", "한"},
        {"half-width katakana", "\x1B)I\xB1", "ｱ"},
        {"UTF-8 segment", "a\x1B%G\xE2\x82\xAC\x1B%@b", "a€b"},
        {"extended segment", "\x1B%/1\x80\x8AUTF-8\x02\xC3\xA4!x", "ä!x"},
        {"direction marks dropped",
         "\x9B"
         "1]abc\x9B]",
         "abc"},
        {"unknown set", "\x1B-~\xE9z", "\uFFFDz"},
        {"a byte the set lacks", "\x1B-F\xAE", "\uFFFD"},
        {"cut in a double-byte character", "\x1B$)A\xC4", "\uFFFD"},
        {"escape cut short", "ok\x1B$", "ok"},
        {"extended segment longer than the text", "\x1B%/1\x8F\xFFUTF-8\x02hi", "hi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(propertyText(view(compound, 8, text(c.bytes)), utf8, compound), c.expected);
    }
    // Without the type's atom the same bytes read as Latin-1.
    EXPECT_EQ(propertyText(view(compound, 8, text("\xBF")), utf8), "¿");
}

TEST(X11PropertyTest, WindowClassHasInstanceAndClass) {
    const auto both = text(std::string_view("xterm\0XTerm\0", 12));
    EXPECT_EQ(windowClass(view(XCB_ATOM_STRING, 8, both)), (WindowClass{"xterm", "XTerm"}));
    const auto one = text(std::string_view("solo", 4));
    EXPECT_EQ(windowClass(view(XCB_ATOM_STRING, 8, one)), (WindowClass{"solo", ""}));
    EXPECT_EQ(windowClass(view(XCB_ATOM_STRING, 8, {})), std::nullopt);
}

TEST(X11PropertyTest, ExtentsStrutsAndOpacityRejectShortOrAbsurdValues) {
    EXPECT_EQ(frameExtents(view(XCB_ATOM_CARDINAL, 32, words({1, 2, 20, 5}))),
              (FrameExtents{1, 2, 20, 5}));
    EXPECT_EQ(frameExtents(view(XCB_ATOM_CARDINAL, 32, words({1, 2, 20}))), std::nullopt);
    EXPECT_EQ(frameExtents(view(XCB_ATOM_CARDINAL, 32, words({1, 2, 0xFFFFFFF0, 5}))),
              std::nullopt);

    EXPECT_EQ(strutPartial(view(XCB_ATOM_CARDINAL, 32, words({0, 0, 0, 40}))), std::nullopt);
    const auto plain = plainStrut(view(XCB_ATOM_CARDINAL, 32, words({10, 0, 0, 40})));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->left, 10u);
    EXPECT_EQ(plain->bottomEndX, 0xFFFFFFFFu);

    EXPECT_DOUBLE_EQ(*opacity(view(XCB_ATOM_CARDINAL, 32, words({0xFFFFFFFF}))), 1.0);
    EXPECT_NEAR(*opacity(view(XCB_ATOM_CARDINAL, 32, words({0x7FFFFFFF}))), 0.5, 1e-6);
    EXPECT_EQ(opacity(view(XCB_ATOM_CARDINAL, 32, {})), std::nullopt);
}

// Icons of 1x1, 2x2 and 4x4 pixels, each filled with its own colour.
std::vector<std::uint32_t> threeIcons() {
    std::vector<std::uint32_t> values;
    for (const auto& [side, colour] :
         {std::pair{1u, 0xFF0000FFu}, std::pair{2u, 0xFF00FF00u}, std::pair{4u, 0x80FF0000u}}) {
        values.push_back(side);
        values.push_back(side);
        values.insert(values.end(), side * side, colour);
    }
    return values;
}

std::vector<std::uint8_t> bytesOf(const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> bytes(values.size() * 4);
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

TEST(X11PropertyTest, WindowIconIsTheWholeIconNearestTheSizeAskedFor) {
    const auto icons = bytesOf(threeIcons());
    const PropertyView property = view(XCB_ATOM_CARDINAL, 32, icons);
    for (const auto& [side, expected] : {std::pair{1u, 1u}, std::pair{2u, 2u}, std::pair{3u, 4u},
                                         std::pair{18u, 4u}, std::pair{0u, 1u}}) {
        const IconProperty icon = netWmIcon(property, side);
        ASSERT_TRUE(icon.nearest) << side;
        EXPECT_EQ(icon.nearest->width, expected) << side;
        EXPECT_EQ(icon.nearest->pixels.size(), std::size_t{expected} * expected);
        EXPECT_FALSE(icon.damaged);
    }
    EXPECT_EQ(netWmIcon(property, 4).nearest->pixels.front(), 0x80FF0000u);
    EXPECT_EQ(netWmIcon(viewOf(nullptr), 16).nearest, std::nullopt);
    EXPECT_FALSE(netWmIcon(viewOf(nullptr), 16).damaged);
}

TEST(X11PropertyTest, WindowIconSurvivesHostileSizesAndTruncation) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> values;
        std::uint8_t format = 32;
        std::optional<std::uint32_t> nearestWidth;  // of what is still used
    };
    std::vector<std::uint32_t> truncated = threeIcons();
    truncated.resize(truncated.size() - 1);
    std::vector<std::uint32_t> thenHuge = threeIcons();
    thenHuge.insert(thenHuge.end(), {0x10000, 0x10000, 1, 2, 3});
    const std::vector<Case> cases = {
        {"last icon cut short", truncated, 32, 2},
        {"absurd size after good icons", thenHuge, 32, 4},
        {"width alone", {16}, 32, std::nullopt},
        {"zero width", {0, 4, 1, 2, 3, 4}, 32, std::nullopt},
        {"not 32-bit items", threeIcons(), 8, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto bytes = bytesOf(c.values);
        const IconProperty icon = netWmIcon(view(XCB_ATOM_CARDINAL, c.format, bytes), 18);
        EXPECT_TRUE(icon.damaged) << c.name;
        EXPECT_EQ(icon.nearest ? std::optional(icon.nearest->width) : std::nullopt, c.nearestWidth)
            << c.name;
    }
}

TEST(X11PropertyTest, ProcessIdsMustBePositiveAndInRange) {
    EXPECT_EQ(pidFromProperty(view(XCB_ATOM_CARDINAL, 32, words({4711}))), 4711);
    EXPECT_EQ(pidFromProperty(view(XCB_ATOM_CARDINAL, 32, words({0}))), std::nullopt);
    EXPECT_EQ(pidFromProperty(view(XCB_ATOM_CARDINAL, 32, words({0x80000000}))), std::nullopt);
}

TEST(X11PropertyTest, WindowTypesTakeTheFirstKnownTypeAndGiveLayers) {
    Atoms atoms;
    atoms.typeNormal = 10;
    atoms.typeDialog = 11;
    atoms.typeDock = 12;
    atoms.typeDesktop = 13;
    atoms.typeSplash = 14;
    const std::uint32_t unknownThenDock[] = {999, 12, 10};
    EXPECT_EQ(windowTypeOf(unknownThenDock, false, atoms), WindowType::dock);
    EXPECT_EQ(windowTypeOf({}, true, atoms), WindowType::dialog);
    EXPECT_EQ(windowTypeOf({}, false, atoms), WindowType::normal);

    EXPECT_EQ(layerOf(WindowType::normal), 0);
    EXPECT_EQ(layerOf(WindowType::dialog), 0);
    for (WindowType type : {WindowType::dock, WindowType::desktop, WindowType::splash,
                            WindowType::notification, WindowType::popup, WindowType::utility}) {
        EXPECT_NE(layerOf(type), 0) << static_cast<int>(type);
    }
}

TEST(X11PropertyTest, OuterFrameAddsBorderAndExtents) {
    EXPECT_EQ(outerFrame({718, 389}, {484, 316}, 0, {1, 1, 20, 5}), Rect(717, 369, 486, 341));
    EXPECT_EQ(outerFrame({10, 10}, {100, 100}, 2, {}), Rect(8, 8, 104, 104));
}

TEST(X11PropertyTest, ExtentsThatWouldLeaveATinyClientAreIgnoredWhenSizing) {
    // A frame of 1,280 x 900 around real decorations, and around extents a client made up.
    EXPECT_EQ(clientSizeFor({1280, 900}, {1, 1, 20, 5}), (Size{1278, 875}));
    EXPECT_EQ(clientSizeFor({1280, 900}, {2000, 2000, 2000, 2000}), (Size{1280, 900}));
    EXPECT_EQ(clientSizeFor({1280, 900}, {600, 640, 4, 4}), (Size{40, 892}));
    EXPECT_EQ(clientSizeFor({1280, 900}, {600, 641, 430, 431}), (Size{1280, 900}));
}

TEST(X11MonitorTest, PrimaryComesFirstAndSetsTheOrigin) {
    Monitor a{1, false, Rect(0, 0, 960, 1080), {}};
    Monitor b{2, true, Rect(960, 0, 960, 1080), {}};
    Monitor c{3, false, Rect(1920, 0, 800, 600), {}};
    EXPECT_EQ(primaryFirst({a, b, c}), (std::vector<Monitor>{b, a, c}));
    EXPECT_EQ(primaryFirst({a, c}), (std::vector<Monitor>{a, c}));
    // The monitor that shows the primary output wins over the one the server marks.
    c.outputs = {7};
    const auto byOutput = primaryFirst({a, b, c}, 7);
    ASSERT_EQ(byOutput.size(), 3u);
    EXPECT_EQ(byOutput[0].name, 3u);
    EXPECT_TRUE(byOutput[0].primary);
    EXPECT_FALSE(byOutput[2].primary);
    EXPECT_EQ(primaryFirst({a, b, c}, 8).front().name, 2u);
    c.outputs.clear();
    Monitors monitors{primaryFirst({a, b, c}), {2720, 1080}};
    EXPECT_EQ(monitors.globalOrigin(), (Point{960, 0}));
    EXPECT_EQ(monitors.find(3), &monitors.list[2]);
    EXPECT_EQ(monitors.find(9), nullptr);
}

TEST(X11MonitorTest, StrutsCutOnlyTheMonitorsTheirBandsCross) {
    const Size root{1920, 1080};
    const Rect left(0, 0, 960, 1080);
    const Rect right(960, 0, 960, 1080);
    constexpr std::uint32_t all = 0xFFFFFFFF;
    struct Case {
        const char* name;
        Strut strut;
        Rect expectedLeft;
        Rect expectedRight;
    };
    const Case cases[] = {
        {"bottom dock under the left monitor",
         {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 959},
         Rect(0, 0, 960, 1040),
         right},
        {"bottom strut across both",
         {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, all},
         Rect(0, 0, 960, 1040),
         Rect(960, 0, 960, 1040)},
        {"left panel", {50, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0}, Rect(50, 0, 910, 1080), right},
        {"right panel", {0, 60, 0, 0, 0, 0, 0, 1079, 0, 0, 0, 0}, left, Rect(960, 0, 900, 1080)},
        {"top bar over the right monitor only",
         {0, 0, 30, 0, 0, 0, 0, 0, 960, 1919, 0, 0},
         left,
         Rect(960, 30, 960, 1050)},
        {"band beside the monitor", {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 2000, 2100}, left, right},
        {"larger than the screen", {0, 0, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0, all}, left, right},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Strut struts[] = {c.strut};
        EXPECT_EQ(usableArea(left, struts, root, std::nullopt).area, c.expectedLeft);
        EXPECT_EQ(usableArea(right, struts, root, std::nullopt).area, c.expectedRight);
    }
}

TEST(X11MonitorTest, StrutsReserveOnlyTheirBandsWhileTheyLeaveRoomAndAConsistentWorkAreaWins) {
    const Size root{1920, 1080};
    const Rect monitor(0, 0, 1920, 1080);
    // A 100 x 50 window at the top left declaring an 1,800 px left strut over its own height,
    // a real dock along the bottom, and struts that reserve the whole width.
    const Strut hostile{1800, 0, 0, 0, 0, 49, 0, 0, 0, 0, 0, 0};
    const Strut dock{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919};
    const Strut whole{1920, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0};
    const Strut beyond{0, 0, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0, 1919};
    const Strut leftPanel{600, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0};
    const Strut rightPanel{0, 600, 0, 0, 0, 0, 0, 1079, 0, 0, 0, 0};
    struct Case {
        const char* name;
        std::vector<Strut> struts;
        std::optional<Rect> workarea;
        Rect expected;
        std::vector<std::size_t> ignored;
        bool fromWorkarea;
    };
    const Case cases[] = {
        {"a dock", {dock}, std::nullopt, Rect(0, 0, 1920, 1040), {}, false},
        // The hostile band is 50 px high: kept clear below it, as a top panel is.
        {"a deep but short band beside a dock",
         {hostile, dock},
         std::nullopt,
         Rect(0, 50, 1920, 990),
         {},
         false},
        {"the whole width", {whole}, std::nullopt, monitor, {0}, false},
        {"more than the screen", {beyond, dock}, std::nullopt, Rect(0, 0, 1920, 1040), {0}, false},
        // Each strut is judged with those before it: the second panel would leave too little.
        {"two wide panels",
         {leftPanel, rightPanel, dock},
         std::nullopt,
         Rect(600, 0, 1320, 1040),
         {1},
         false},
        {"a work area the struts agree with",
         {dock},
         Rect(0, 0, 1920, 1040),
         Rect(0, 0, 1920, 1040),
         {},
         true},
        {"a work area with a panel of the window manager's own",
         {},
         Rect(0, 25, 1920, 1055),
         Rect(0, 25, 1920, 1055),
         {},
         true},
        // The window manager honours the short band along the whole left edge (openbox up to
        // half the screen): its work area is not taken.
        {"a work area after a short band",
         {hostile, dock},
         Rect(960, 0, 960, 1040),
         Rect(0, 50, 1920, 990),
         {},
         false},
        {"a work area after an ignored strut",
         {whole},
         Rect(0, 0, 1920, 1080),
         monitor,
         {0},
         false},
        {"a work area off the monitor",
         {dock},
         Rect(0, 0, 3840, 1040),
         Rect(0, 0, 1920, 1040),
         {},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UsableArea usable = usableArea(monitor, c.struts, root, c.workarea);
        EXPECT_EQ(usable.area, c.expected);
        EXPECT_EQ(usable.ignored, c.ignored);
        EXPECT_EQ(usable.fromWorkarea, c.fromWorkarea);
    }
}

std::vector<std::uint8_t> edid(std::uint8_t vendorHigh,
                               std::uint8_t vendorLow,
                               std::uint16_t model,
                               std::uint32_t serial) {
    std::vector<std::uint8_t> block(128, 0);
    const std::uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), block.begin());
    block[8] = vendorHigh;
    block[9] = vendorLow;
    block[10] = static_cast<std::uint8_t>(model);
    block[11] = static_cast<std::uint8_t>(model >> 8);
    for (int i = 0; i < 4; ++i) {
        block[12 + i] = static_cast<std::uint8_t>(serial >> (8 * i));
    }
    std::uint8_t sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum = static_cast<std::uint8_t>(sum + block[i]);
    }
    block[127] = static_cast<std::uint8_t>(256 - sum);
    return block;
}

TEST(X11MonitorTest, EdidGivesVendorModelAndSerialOfValidBlocksOnly) {
    const auto good = edid(0x06, 0x10, 41001, 0x01020304);
    EXPECT_EQ(edidIdentity(good), (DisplayIdentity{1552, 41001, 0x01020304}));

    auto badChecksum = good;
    badChecksum[20] ^= 1;
    auto badHeader = good;
    badHeader[0] = 1;
    badHeader[127] = static_cast<std::uint8_t>(badHeader[127] - 1);
    const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + 64);
    EXPECT_EQ(edidIdentity(badChecksum), std::nullopt);
    EXPECT_EQ(edidIdentity(badHeader), std::nullopt);
    EXPECT_EQ(edidIdentity(truncated), std::nullopt);
}

}  // namespace
}  // namespace vorn::platform::x11
