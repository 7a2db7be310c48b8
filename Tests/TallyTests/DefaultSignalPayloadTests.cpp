#include <set>

#include <gtest/gtest.h>

#include "LocaleInfo.h"
#include "PirateMetrics/SessionManager.h"
#include "Signals/DefaultSignalPayload.h"
#include "System/CivilTime.h"
#include "System/SystemInfo.h"
#include "Tally.h"
#include "TallyTestEnvironment.h"
#include "TempDir.h"

namespace vorn::tally {
namespace {

Date utc(double secondsSinceReference) {
    return Date(secondsSinceReference);
}

// 2026-05-10 12:00 UTC, a Sunday.
constexpr double sundayNoon = 800107200.0;

PayloadInputs fixedInputs() {
    PayloadInputs inputs;
    inputs.now = utc(sundayNoon);
    inputs.utcOffsetSeconds = 0;
    inputs.kernelRelease = "6.1.0-18-amd64";
    inputs.modelName = "ThinkPad X1";
    inputs.architecture = "x86_64";
    inputs.locale = host::localeInfo({std::nullopt, std::nullopt, "de_AT.UTF-8", "fr_CA:en"});
    inputs.application = {"1.4.2", "57"};
    inputs.retention.firstSessionDate = "2026-04-01";
    inputs.retention.averageSessionSeconds = 15;
    inputs.retention.distinctDaysUsed = {"2026-03-01", "2026-04-10", "2026-04-11", "2026-05-10"};
    inputs.retention.totalSessionsCount = 9;
    return inputs;
}

TEST(DefaultSignalPayloadTests, TimeZoneTexts) {
    const std::pair<int, const char*> cases[] = {
        {-18000, "UTC-5"},   {19800, "UTC+5:30"}, {-12600, "UTC-3:30"}, {0, "UTC+0"},
        {-1800, "UTC-0:30"}, {20700, "UTC+5:45"}, {-34200, "UTC-9:30"}, {46800, "UTC+13"},
        {-43200, "UTC-12"},  {3605, "UTC+1"},
    };
    for (const auto& [offset, text] : cases) {
        EXPECT_EQ(DefaultSignalPayload::timeZone(offset), text) << offset;
    }
}

TEST(DefaultSignalPayloadTests, CalendarKeysOfTheLocalMoment) {
    struct Case {
        double moment;
        int offset;
        Parameters expected;
    };
    const Case cases[] = {
        // Sunday 2026-05-10 12:00.
        {sundayNoon,
         0,
         {{"Tally.Calendar.dayOfMonth", "10"},
          {"Tally.Calendar.dayOfWeek", "7"},
          {"Tally.Calendar.dayOfYear", "130"},
          {"Tally.Calendar.weekOfYear", "20"},
          {"Tally.Calendar.isWeekend", "true"},
          {"Tally.Calendar.monthOfYear", "5"},
          {"Tally.Calendar.quarterOfYear", "2"},
          {"Tally.Calendar.hourOfDay", "13"}}},
        // The same moment seen from UTC-13: Saturday 23:00.
        {sundayNoon,
         -13 * 3600,
         {{"Tally.Calendar.dayOfMonth", "9"},
          {"Tally.Calendar.dayOfWeek", "6"},
          {"Tally.Calendar.dayOfYear", "129"},
          {"Tally.Calendar.weekOfYear", "19"},
          {"Tally.Calendar.isWeekend", "true"},
          {"Tally.Calendar.monthOfYear", "5"},
          {"Tally.Calendar.quarterOfYear", "2"},
          {"Tally.Calendar.hourOfDay", "24"}}},
        // Friday 2026-05-08 12:00.
        {799934400.0,
         0,
         {{"Tally.Calendar.dayOfMonth", "8"},
          {"Tally.Calendar.dayOfWeek", "5"},
          {"Tally.Calendar.dayOfYear", "128"},
          {"Tally.Calendar.weekOfYear", "19"},
          {"Tally.Calendar.isWeekend", "false"},
          {"Tally.Calendar.monthOfYear", "5"},
          {"Tally.Calendar.quarterOfYear", "2"},
          {"Tally.Calendar.hourOfDay", "13"}}},
        // Thursday 2026-01-01 00:15 at UTC+5:30 is 05:45 local.
        {788919300.0,
         19800,
         {{"Tally.Calendar.dayOfMonth", "1"},
          {"Tally.Calendar.dayOfWeek", "4"},
          {"Tally.Calendar.dayOfYear", "1"},
          {"Tally.Calendar.weekOfYear", "1"},
          {"Tally.Calendar.isWeekend", "false"},
          {"Tally.Calendar.monthOfYear", "1"},
          {"Tally.Calendar.quarterOfYear", "1"},
          {"Tally.Calendar.hourOfDay", "6"}}},
        // Thursday 2026-01-01 00:15 UTC.
        {788919300.0,
         0,
         {{"Tally.Calendar.dayOfMonth", "1"},
          {"Tally.Calendar.dayOfWeek", "4"},
          {"Tally.Calendar.dayOfYear", "1"},
          {"Tally.Calendar.weekOfYear", "1"},
          {"Tally.Calendar.isWeekend", "false"},
          {"Tally.Calendar.monthOfYear", "1"},
          {"Tally.Calendar.quarterOfYear", "1"},
          {"Tally.Calendar.hourOfDay", "1"}}},
        // Thursday 2026-12-31 23:45 shares its week with 1 January 2027.
        {820453500.0,
         0,
         {{"Tally.Calendar.dayOfMonth", "31"},
          {"Tally.Calendar.dayOfWeek", "4"},
          {"Tally.Calendar.dayOfYear", "365"},
          {"Tally.Calendar.weekOfYear", "1"},
          {"Tally.Calendar.isWeekend", "false"},
          {"Tally.Calendar.monthOfYear", "12"},
          {"Tally.Calendar.quarterOfYear", "4"},
          {"Tally.Calendar.hourOfDay", "24"}}},
        // Thursday 2024-02-29 23:59, a leap day.
        {730943940.0,
         0,
         {{"Tally.Calendar.dayOfMonth", "29"},
          {"Tally.Calendar.dayOfWeek", "4"},
          {"Tally.Calendar.dayOfYear", "60"},
          {"Tally.Calendar.weekOfYear", "9"},
          {"Tally.Calendar.isWeekend", "false"},
          {"Tally.Calendar.monthOfYear", "2"},
          {"Tally.Calendar.quarterOfYear", "1"},
          {"Tally.Calendar.hourOfDay", "24"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DefaultSignalPayload::calendarParameters(utc(c.moment), c.offset), c.expected)
            << c.moment << " " << c.offset;
    }
}

TEST(DefaultSignalPayloadTests, TheWholePayloadOfAFixedMoment) {
    const Parameters payload = DefaultSignalPayload::parameters(fixedInputs());
    const Parameters expected = {
        {"platform", "Linux"},
        {"operatingSystem", "Linux"},
        {"Tally.Device.operatingSystem", "Linux"},
        {"Tally.Device.platform", "Linux"},
        {"systemVersion", "Linux 6.1.0"},
        {"Tally.Device.systemVersion", "Linux 6.1.0"},
        {"majorSystemVersion", "Linux 6"},
        {"Tally.Device.systemMajorVersion", "Linux 6"},
        {"majorMinorSystemVersion", "Linux 6.1"},
        {"Tally.Device.systemMajorMinorVersion", "Linux 6.1"},
        {"appVersion", "1.4.2"},
        {"Tally.AppInfo.version", "1.4.2"},
        {"buildNumber", "57"},
        {"Tally.AppInfo.buildNumber", "57"},
        {"Tally.AppInfo.versionAndBuildNumber", "1.4.2 (build 57)"},
        {"isSimulator", "false"},
        {"isDebug", "false"},
        {"Tally.RunContext.isDebug", "false"},
        {"Tally.RunContext.isSimulator", "false"},
        {"isTestFlight", "false"},
        {"Tally.RunContext.isTestFlight", "false"},
        {"isAppStore", "false"},
        {"Tally.RunContext.isAppStore", "false"},
        {"modelName", "ThinkPad X1"},
        {"Tally.Device.modelName", "ThinkPad X1"},
        {"architecture", "x86_64"},
        {"Tally.Device.architecture", "x86_64"},
        {"targetEnvironment", "native"},
        {"Tally.RunContext.targetEnvironment", "native"},
        {"locale", "de_AT"},
        {"Tally.RunContext.locale", "de_AT"},
        {"region", "AT"},
        {"Tally.UserPreference.region", "AT"},
        {"appLanguage", "de"},
        {"Tally.RunContext.language", "de"},
        {"preferredLanguage", "fr"},
        {"Tally.UserPreference.language", "fr"},
        {"tallyClientVersion", "1.0.0"},
        {"Tally.SDK.version", "1.0.0"},
        {"Tally.SDK.name", "TallySDK"},
        {"Tally.SDK.nameAndVersion", "TallySDK 1.0.0"},
        {"Tally.Device.orientation", "Fixed"},
        {"Tally.Device.screenResolutionHeight", "N/A"},
        {"Tally.Device.screenResolutionWidth", "N/A"},
        {"Tally.Device.screenScaleFactor", "N/A"},
        {"Tally.Device.timeZone", "UTC+0"},
        {"Tally.UserPreference.colorScheme", "N/A"},
        {"Tally.UserPreference.layoutDirection", "N/A"},
        {"Tally.Calendar.dayOfMonth", "10"},
        {"Tally.Calendar.dayOfWeek", "7"},
        {"Tally.Calendar.dayOfYear", "130"},
        {"Tally.Calendar.weekOfYear", "20"},
        {"Tally.Calendar.isWeekend", "true"},
        {"Tally.Calendar.monthOfYear", "5"},
        {"Tally.Calendar.quarterOfYear", "2"},
        {"Tally.Calendar.hourOfDay", "13"},
        {"Tally.Acquisition.firstSessionDate", "2026-04-01"},
        {"Tally.Retention.averageSessionSeconds", "15"},
        {"Tally.Retention.distinctDaysUsed", "4"},
        // The cutoff is 2026-04-10, thirty days back.
        {"Tally.Retention.distinctDaysUsedLastMonth", "3"},
        {"Tally.Retention.totalSessionsCount", "9"},
    };
    EXPECT_EQ(payload, expected);
}

TEST(DefaultSignalPayloadTests, WhatTheApplicationTellsAndWhatItLeavesOut) {
    struct Case {
        std::string name;
        void (*change)(PayloadInputs&);
        Parameters changed;
        std::set<std::string> absent;
    };
    const Case cases[] = {
        {"no version",
         [](PayloadInputs& in) { in.application = {}; },
         {{"appVersion", "0"},
          {"Tally.AppInfo.version", "0"},
          {"buildNumber", "0"},
          {"Tally.AppInfo.buildNumber", "0"},
          {"Tally.AppInfo.versionAndBuildNumber", "0 (build 0)"}},
         {}},
        {"no short version",
         [](PayloadInputs& in) { in.application.shortVersion.reset(); },
         {{"appVersion", "0"},
          {"Tally.AppInfo.version", "0"},
          {"Tally.AppInfo.versionAndBuildNumber", "0 (build 57)"}},
         {}},
        {"screen and appearance",
         [](PayloadInputs& in) {
             in.screen = ScreenMetrics{1920, 1080, 1.25};
             in.colorScheme = ColorScheme::dark;
             in.layoutDirection = LayoutDirection::rightToLeft;
         },
         {{"Tally.Device.screenResolutionWidth", "1920.0"},
          {"Tally.Device.screenResolutionHeight", "1080.0"},
          {"Tally.Device.screenScaleFactor", "1.25"},
          {"Tally.UserPreference.colorScheme", "Dark"},
          {"Tally.UserPreference.layoutDirection", "rightToLeft"}},
         {}},
        {"absurd screen",
         [](PayloadInputs& in) {
             in.screen = ScreenMetrics{1.0 / 0.0, 1080, 0};
         },
         {{"Tally.Device.screenResolutionWidth", "N/A"}},
         {}},
        {"accessibility known",
         [](PayloadInputs& in) {
             in.accessibility = AccessibilitySettings{true, false};
         },
         {{"Tally.Accessibility.isReduceMotionEnabled", "true"},
          {"Tally.Accessibility.isInvertColorsEnabled", "false"}},
         {}},
        {"accessibility unknown",
         [](PayloadInputs& in) { in.accessibility.reset(); },
         {},
         {"Tally.Accessibility.isReduceMotionEnabled",
          "Tally.Accessibility.isInvertColorsEnabled"}},
        {"previous session",
         [](PayloadInputs& in) { in.retention.previousSessionSeconds = 20; },
         {{"Tally.Retention.previousSessionSeconds", "20"}},
         {}},
        {"no previous session",
         [](PayloadInputs&) {},
         {},
         {"Tally.Retention.previousSessionSeconds", "extensionIdentifier",
          "Tally.RunContext.extensionIdentifier"}},
        {"half-hour zone",
         [](PayloadInputs& in) { in.utcOffsetSeconds = -12600; },
         {{"Tally.Device.timeZone", "UTC-3:30"}, {"Tally.Calendar.hourOfDay", "9"}},
         {}},
        {"release without numbers",
         [](PayloadInputs& in) { in.kernelRelease = "custom"; },
         {{"systemVersion", "Linux 0.0.0"},
          {"Tally.Device.systemVersion", "Linux 0.0.0"},
          {"majorSystemVersion", "Linux 0"},
          {"Tally.Device.systemMajorVersion", "Linux 0"},
          {"majorMinorSystemVersion", "Linux 0.0"},
          {"Tally.Device.systemMajorMinorVersion", "Linux 0.0"}},
         {}},
    };
    const Parameters base = DefaultSignalPayload::parameters(fixedInputs());
    for (const auto& c : cases) {
        PayloadInputs inputs = fixedInputs();
        c.change(inputs);
        const Parameters payload = DefaultSignalPayload::parameters(inputs);
        for (const auto& [key, value] : c.changed) {
            EXPECT_EQ(payload.contains(key) ? payload.at(key) : "<absent>", value)
                << c.name << ": " << key;
        }
        for (const auto& key : c.absent) {
            EXPECT_FALSE(payload.contains(key)) << c.name << ": " << key;
        }
        // Every other key keeps its value.
        for (const auto& [key, value] : base) {
            if (!c.changed.contains(key) && payload.contains(key)) {
                EXPECT_EQ(payload.at(key), value) << c.name << ": " << key;
            }
        }
    }
}

TEST(DefaultSignalPayloadTests, LocaleFromTheEnvironment) {
    struct Case {
        host::LocaleEnvironment environment;
        std::string locale;
        std::string region;
        std::string language;
        std::string preferred;
    };
    const Case cases[] = {
        {{"en_GB.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", std::nullopt}, "en_GB", "GB", "en", "en"},
        {{"", "de_DE.UTF-8", "fr_FR.UTF-8", std::nullopt}, "de_DE", "DE", "de", "de"},
        {{std::nullopt, std::nullopt, "sr_RS@latin", std::nullopt}, "sr_RS", "RS", "sr", "sr"},
        {{std::nullopt, std::nullopt, "es_419.UTF-8", std::nullopt}, "es_419", "419", "es", "es"},
        {{std::nullopt, std::nullopt, "de", std::nullopt}, "de", "de", "de", "de"},
        {{std::nullopt, std::nullopt, "C.UTF-8", std::nullopt}, "en_US_POSIX", "US", "en", "en"},
        {{"POSIX", std::nullopt, std::nullopt, "pt_BR:en"}, "en_US_POSIX", "US", "en", "pt"},
        {{std::nullopt, std::nullopt, std::nullopt, std::nullopt}, "en_US_POSIX", "US", "en", "en"},
        {{std::nullopt, std::nullopt, "\xff\xfe garbage", ":b4d:nl"},
         "en_US_POSIX",
         "US",
         "en",
         "nl"},
    };
    for (const auto& c : cases) {
        PayloadInputs inputs = fixedInputs();
        inputs.locale = host::localeInfo(c.environment);
        const Parameters payload = DefaultSignalPayload::parameters(inputs);
        const std::string label = c.environment.lang.value_or("-");
        EXPECT_EQ(payload.at("locale"), c.locale) << label;
        EXPECT_EQ(payload.at("region"), c.region) << label;
        EXPECT_EQ(payload.at("appLanguage"), c.language) << label;
        EXPECT_EQ(payload.at("preferredLanguage"), c.preferred) << label;
    }
}

TEST(DefaultSignalPayloadTests, HardwareModelFromTheFirmware) {
    vorn::test::TempDir root;
    EXPECT_FALSE(system::firmwareModelName(root.path()));

    std::filesystem::create_directories(root / "sys/class/dmi/id");
    vorn::test::writeText(root / "sys/class/dmi/id/product_name", "  \n");
    EXPECT_FALSE(system::firmwareModelName(root.path()));
    vorn::test::writeText(root / "sys/class/dmi/id/product_name", "OptiPlex 7090\n");
    EXPECT_EQ(system::firmwareModelName(root.path()), "OptiPlex 7090");

    std::filesystem::create_directories(root / "proc/device-tree");
    vorn::test::writeText(root / "proc/device-tree/model", std::string("Raspberry Pi 4\0junk", 19));
    EXPECT_EQ(system::firmwareModelName(root.path()), "Raspberry Pi 4");

    std::filesystem::create_directories(root / "sys/firmware/devicetree/base");
    vorn::test::writeText(root / "sys/firmware/devicetree/base/model", "\xc3\x28 broken");
    EXPECT_EQ(system::firmwareModelName(root.path()), "Raspberry Pi 4");
}

TEST(DefaultSignalPayloadTests, KernelVersions) {
    const std::pair<const char*, const char*> cases[] = {
        {"6.1.0-18-amd64", "Linux 6.1.0"},
        {"5.15.153.1-microsoft-standard-WSL2", "Linux 5.15.153"},
        {"6.8", "Linux 6.8.0"},
        {"4.19.0", "Linux 4.19.0"},
        {"", "Linux 0.0.0"},
        {"99999999999999999999999.1", "Linux 0.0.0"},
    };
    for (const auto& [release, text] : cases) {
        EXPECT_EQ(DefaultSignalPayload::systemVersion(release), text) << release;
    }
}

class CurrentPayloadTests : public test::TallyTest {};

TEST_F(CurrentPayloadTests, TheRunningSystemFillsEveryBaseKey) {
    Tally::initialize(makeConfiguration());
    setHostTraits({ScreenMetrics{2560, 1440, 2}, ColorScheme::light, LayoutDirection::leftToRight,
                   std::nullopt});
    setApplicationInfo({"2.0", std::nullopt});
    // The first read creates the statistics, which record today; reads do not wait for that
    // write.
    (void)DefaultSignalPayload::parameters();
    std::dynamic_pointer_cast<SessionManager>(sessionStatistics())->flush();
    const Parameters payload = DefaultSignalPayload::parameters();
    EXPECT_EQ(payload.size(), 48u + 8u + 5u);
    EXPECT_EQ(payload.at("platform"), "Linux");
    EXPECT_EQ(payload.at("architecture"), system::buildArchitecture());
    EXPECT_FALSE(payload.at("modelName").empty());
    EXPECT_EQ(payload.at("Tally.AppInfo.versionAndBuildNumber"), "2.0 (build 0)");
    EXPECT_EQ(payload.at("Tally.Device.screenResolutionWidth"), "2560.0");
    EXPECT_EQ(payload.at("Tally.Device.screenScaleFactor"), "2.0");
    EXPECT_EQ(payload.at("Tally.UserPreference.colorScheme"), "Light");
    EXPECT_EQ(payload.at("Tally.UserPreference.layoutDirection"), "leftToRight");
    EXPECT_EQ(payload.at("Tally.Retention.distinctDaysUsed"), "1");
    EXPECT_EQ(payload.at("Tally.Retention.averageSessionSeconds"), "-1");
    for (const auto& [key, value] : payload) {
        EXPECT_EQ(json::sanitizeUTF8(value), value) << key;
    }
}

}  // namespace
}  // namespace vorn::tally
