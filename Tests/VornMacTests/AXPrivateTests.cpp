#include <gtest/gtest.h>

#include "AXPrivate.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

TEST(KeyWindowEventRecordTest, HasTheMarkerBytesAndTheWindowNumberLeastSignificantFirst) {
    platform::EventRecord expected{};
    expected[0x04] = 0xF8;
    for (std::size_t i = 0x20; i <= 0x2F; ++i) {
        expected[i] = 0xFF;
    }
    expected[0x3A] = 0x10;
    expected[0x3C] = 0x34;
    expected[0x3D] = 0x12;
    EXPECT_EQ(makeKeyWindowEventRecord(4660), expected);

    const auto wide = makeKeyWindowEventRecord(0xA1B2C3D4);
    EXPECT_EQ(wide[0x3C], 0xD4);
    EXPECT_EQ(wide[0x3D], 0xC3);
    EXPECT_EQ(wide[0x3E], 0xB2);
    EXPECT_EQ(wide[0x3F], 0xA1);
    EXPECT_EQ(wide[0x08], 0x00);
    EXPECT_EQ(wide[0x40], 0x00);
}

class AXPrivateTest : public ::testing::Test {
protected:
    AXPrivateTest() {
        world.addApp(10, "org.example.editor", "Editor");
        world.addWindow(77, 10, Rect(0, 0, 800, 600));
    }

    test::SimulatedWorld world;
};

TEST_F(AXPrivateTest, FocusingFrontsTheProcessThenPostsTheRecordPair) {
    ASSERT_TRUE(world.privateCalls.skyLightFocusWindow(10, 77));

    // The calls once the entry points were found, in order.
    std::vector<std::string> made;
    for (const std::string& call : world.desktop.calls()) {
        if (!call.starts_with("open ") && !call.starts_with("lookUp ")) {
            made.push_back(call);
        }
    }
    EXPECT_EQ(made, (std::vector<std::string>{
                        "GetProcessForPID pid=10",
                        "_SLPSSetFrontProcessWithOptions psn=0:10 win#77 options=0x200",
                        "SLPSPostEventRecordTo psn=0:10 byte8=1",
                        "SLPSPostEventRecordTo psn=0:10 byte8=2",
                    }));
    // Byte 8 aside, both records are the key-window record of the window fronted.
    for (const auto& posted : world.desktop.postedRecords) {
        platform::EventRecord record = posted.record;
        record[0x08] = 0;
        EXPECT_EQ(record, makeKeyWindowEventRecord(77));
    }
    EXPECT_EQ(world.desktop.frontmostApplication(), 10);
}

TEST_F(AXPrivateTest, EachMissingEntryPointSwitchesItsFeatureOff) {
    struct Case {
        std::string_view missing;
        bool windowIDSupported;
        bool focusSupported;
        // Lookups made by preloading, in order.
        std::vector<std::string> lookups;
    };
    const std::vector<Case> cases = {
        {platform::entrypoint::windowOfElement,
         false,
         true,
         {"lookUp GetProcessForPID", "lookUp _SLPSSetFrontProcessWithOptions",
          "lookUp SLPSPostEventRecordTo", "lookUp _AXUIElementGetWindow"}},
        {platform::entrypoint::processForPID,
         true,
         false,
         {"lookUp GetProcessForPID", "lookUp _AXUIElementGetWindow"}},
        {platform::entrypoint::setFrontProcess,
         true,
         false,
         {"lookUp GetProcessForPID", "lookUp _SLPSSetFrontProcessWithOptions",
          "lookUp _AXUIElementGetWindow"}},
        {platform::entrypoint::postEventRecord,
         true,
         false,
         {"lookUp GetProcessForPID", "lookUp _SLPSSetFrontProcessWithOptions",
          "lookUp SLPSPostEventRecordTo", "lookUp _AXUIElementGetWindow"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        test::SimulatedWorld w;
        w.addApp(10, "org.example.editor", "Editor");
        w.addWindow(77, 10, Rect(0, 0, 800, 600));
        w.desktop.missingEntryPoints.insert(std::string(c.missing));
        const platform::Element element = w.windowElement(77);
        w.desktop.clearCalls();

        w.privateCalls.preloadFocusFrameworks();
        EXPECT_EQ(w.desktop.callsStartingWith("lookUp"), c.lookups);
        EXPECT_EQ(w.privateCalls.axCGWindowIDSupported(), c.windowIDSupported);
        EXPECT_EQ(w.privateCalls.skyLightFocusSupported(), c.focusSupported);
        EXPECT_EQ(w.privateCalls.windowNumber(element).has_value(), c.windowIDSupported);

        w.desktop.clearCalls();
        EXPECT_EQ(w.privateCalls.skyLightFocusWindow(10, 77), c.focusSupported);
        if (!c.focusSupported) {
            // Nothing is called, not even the process lookup.
            EXPECT_EQ(w.desktop.countCalls("GetProcessForPID"), 0u);
            EXPECT_TRUE(w.desktop.frontCalls.empty());
            EXPECT_TRUE(w.desktop.postedRecords.empty());
        }
    }
}

TEST_F(AXPrivateTest, PreloadingOpensTheLibrariesOnceAndLooksUpNothingTheSecondTime) {
    world.desktop.unopenableLibraries.insert(
        "/System/Library/PrivateFrameworks/SkyLight.framework/SkyLight");
    world.privateCalls.preloadFocusFrameworks();
    EXPECT_EQ(world.desktop.calls(),
              (std::vector<std::string>{
                  "open /System/Library/PrivateFrameworks/SkyLight.framework/SkyLight",
                  "open /System/Library/Frameworks/ApplicationServices.framework/"
                  "ApplicationServices",
                  "lookUp GetProcessForPID", "lookUp _SLPSSetFrontProcessWithOptions",
                  "lookUp SLPSPostEventRecordTo", "lookUp _AXUIElementGetWindow"}));
    // A library that could not be opened is not reported; what was found stays usable.
    EXPECT_TRUE(world.privateCalls.skyLightFocusSupported());

    world.desktop.clearCalls();
    world.privateCalls.preloadFocusFrameworks();
    ASSERT_TRUE(world.privateCalls.skyLightFocusWindow(10, 77));
    EXPECT_EQ(world.desktop.countCalls("lookUp"), 0u);
    EXPECT_EQ(world.desktop.countCalls("open"), 0u);
}

TEST_F(AXPrivateTest, WindowNumberLookupWorksWithoutOpeningAnyLibrary) {
    const platform::Element element = world.windowElement(77);
    world.desktop.clearCalls();
    AXPrivate fresh(world.services.loader);
    EXPECT_EQ(fresh.windowNumber(element), 77u);
    EXPECT_EQ(world.desktop.countCalls("open"), 0u);
    world.desktop.window(77)->windowNumberFails = true;
    EXPECT_FALSE(fresh.windowNumber(element));
}

TEST_F(AXPrivateTest, AProcessThatCannotBeAddressedIsNotFronted) {
    EXPECT_FALSE(world.privateCalls.skyLightFocusWindow(4242, 77));
    EXPECT_EQ(world.desktop.countCalls("GetProcessForPID pid=4242"), 1u);
    EXPECT_TRUE(world.desktop.frontCalls.empty());
    EXPECT_TRUE(world.desktop.postedRecords.empty());
}

TEST_F(AXPrivateTest, AFailedFrontingCallReportsFailureAndPostsNothing) {
    world.desktop.frontingStatus = 1000;
    EXPECT_FALSE(world.privateCalls.skyLightFocusWindow(10, 77));
    EXPECT_EQ(world.desktop.frontCalls.size(), 1u);
    EXPECT_TRUE(world.desktop.postedRecords.empty());
}

}  // namespace
}  // namespace vorn
