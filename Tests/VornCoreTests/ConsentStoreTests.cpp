#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "ConsentStore.h"
#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {
namespace {

using test::readText;
using test::writeText;

const ConsentState defaults;

ConsentState record(std::int64_t version, bool enabled, std::optional<std::string> shown = {}) {
    return ConsentState{version, enabled, std::move(shown), std::nullopt};
}

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

TEST(JSONFileConsentStoreTests, LoadIsLenientAndFailsClosed) {
    const std::pair<std::optional<std::string>, ConsentState> cases[] = {
        {std::nullopt, defaults},
        {"{}", defaults},
        {"not json", defaults},
        {"[1, 2]", defaults},
        {R"({"telemetryEnabled": false})", record(1, false)},
        {R"({"telemetryEnabled": "false", "version": 7})", record(7, true)},
        {R"({"telemetryEnabled": 0, "version": "3"})", defaults},
        {R"({"telemetryEnabled": null, "decidedAt": "2024-01-01"})", defaults},
        {R"({"disclosureShownVersion": "1.0", "telemetryEnabled": true})", record(1, true, "1.0")},
        // An answer was recorded but cannot be read: never send without the user's yes.
        {R"({"disclosureShownVersion": "1.0"})", record(1, false, "1.0")},
        {R"({"disclosureShownVersion": "1.0", "telemetryEnabled": 1})", record(1, false, "1.0")},
        // A key twice has no one meaning: unusable, like any damaged file, never a yes.
        {R"({"disclosureShownVersion": "1.0", "telemetryEnabled": false, "telemetryEnabled": true})",
         defaults},
        {R"({"disclosureShownVersion": "1.0", "telemetryEnabled": true, "x": {"k": 1, "k": 1}})",
         defaults},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file.value_or("(no file)"));
        test::TempDir dir;
        JSONFileConsentStore store(dir / "consent.json");
        if (file) {
            writeText(store.url(), *file);
        }
        EXPECT_EQ(store.load(), expected);
        if (file) {
            EXPECT_EQ(readText(store.url()), *file);
        }
    }
    EXPECT_TRUE(defaults.needsDisclosure(""));
    EXPECT_FALSE(record(1, true, "1.0").needsDisclosure("2.0"));
}

TEST(JSONFileConsentStoreTests, AFIFOInPlaceOfTheFileGivesTheDefaultWithoutWaiting) {
    test::TempDir dir;
    JSONFileConsentStore store(dir / "consent.json");
    ASSERT_EQ(::mkfifo(store.url().c_str(), 0600), 0);
    auto loading = std::async(std::launch::async, [&] { return store.load(); });
    if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ::close(::open(store.url().c_str(), O_WRONLY | O_NONBLOCK));
        FAIL() << "loading blocked on the FIFO";
    }
    EXPECT_EQ(loading.get(), defaults);
}

TEST(JSONFileConsentStoreTests, SaveWritesTheFileForm) {
    test::TempDir dir;
    JSONFileConsentStore store(dir / "data" / "vorn" / "consent.json");
    ASSERT_TRUE(store.save(defaults));
    EXPECT_EQ(readText(store.url()), "{\n  \"telemetryEnabled\" : true,\n  \"version\" : 1\n}");
    EXPECT_EQ(modeOf(store.url()), 0600U);
    EXPECT_EQ(modeOf(store.url().parent_path()), 0700U);

    const ConsentState answered{7, false, "2.0/beta", Date(756000000.125)};
    ASSERT_TRUE(store.save(answered));
    EXPECT_EQ(readText(store.url()),
              "{\n  \"decidedAt\" : 756000000.125,\n  \"disclosureShownVersion\" : \"2.0\\/beta\","
              "\n  \"telemetryEnabled\" : false,\n  \"version\" : 7\n}");
    EXPECT_EQ(store.load(), answered);
}

TEST(JSONFileConsentStoreTests, FailedSaveIsReportedAndLogged) {
    test::TempDir dir;
    writeText(dir / "blocker", "a file where the directory should be");
    JSONFileConsentStore store(dir / "blocker" / "consent.json");
    test::CapturingLogSink log;
    EXPECT_FALSE(store.save(defaults));
    EXPECT_EQ(log.count("consent", "save failed: "), 1U);
}

}  // namespace
}  // namespace vorn
