#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "System/DefaultsSuite.h"
#include "TempDir.h"

namespace vorn::tally::system {
namespace {

class DefaultsSuiteTests : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", (temp / "config").c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    vorn::test::TempDir temp;
};

TEST_F(DefaultsSuiteTests, OneSharedStorePerNameSavedAtEveryChange) {
    const auto suite = DefaultsSuite::named("dev.tally.abc");
    ASSERT_TRUE(suite);
    EXPECT_EQ(DefaultsSuite::named("dev.tally.abc"), suite);
    EXPECT_NE(DefaultsSuite::named("dev.tally.other"), suite);

    suite->set("text", "2026-12-08");
    suite->set("count", 4);
    suite->set("days", json::Value::array({"2026-12-07", "2026-12-08"}));
    EXPECT_EQ(suite->string("text"), "2026-12-08");
    EXPECT_EQ(suite->integer("count"), 4);
    EXPECT_EQ(suite->stringList("days"), (std::vector<std::string>{"2026-12-07", "2026-12-08"}));

    const auto file = temp / "config" / "dev.tally.abc.json";
    const auto saved = json::parse(vorn::test::readText(file));
    ASSERT_TRUE(saved);
    EXPECT_EQ(json::asInt(json::member(*saved, "count")), 4);
    suite->remove("count");
    EXPECT_FALSE(suite->integer("count"));
    EXPECT_FALSE(json::member(*json::parse(vorn::test::readText(file)), "count"));
    // Nothing but the file itself: the temporary of each write is renamed away.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(temp / "config")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST_F(DefaultsSuiteTests, LoadsWhatAnEarlierRunSaved) {
    std::filesystem::create_directories(temp / "config");
    vorn::test::writeText(temp / "config" / "earlier.json",
                          R"({"user":"A1","count":3,"list":["a",1]})");
    const auto suite = DefaultsSuite::named("earlier");
    EXPECT_EQ(suite->string("user"), "A1");
    EXPECT_EQ(suite->integer("count"), 3);
    // Wrong types read as nothing rather than as a guess.
    EXPECT_FALSE(suite->string("count"));
    EXPECT_FALSE(suite->integer("user"));
    EXPECT_FALSE(suite->stringList("list"));
    EXPECT_FALSE(suite->value("missing"));
}

TEST_F(DefaultsSuiteTests, UnreadableFileIsKeptAsideNotOverwritten) {
    std::filesystem::create_directories(temp / "config");
    vorn::test::writeText(temp / "config" / "broken.json", "{\"user\":");
    const auto suite = DefaultsSuite::named("broken");
    EXPECT_FALSE(suite->value("user"));
    suite->set("user", "B");
    EXPECT_EQ(vorn::test::readText(temp / "config" / "broken.json.corrupt"), "{\"user\":");
    EXPECT_EQ(suite->string("user"), "B");

    // A key twice has no one meaning: set aside like any unreadable file.
    vorn::test::writeText(temp / "config" / "twice.json", R"({"user":"A","user":"B"})");
    EXPECT_FALSE(DefaultsSuite::named("twice")->value("user"));
    EXPECT_TRUE(fileio::exists(temp / "config" / "twice.json.corrupt"));
}

TEST_F(DefaultsSuiteTests, NamesThatCannotNameAFileAreRefused) {
    for (const char* name : {"", ".hidden", "a/b", "..", "../escape"}) {
        EXPECT_FALSE(DefaultsSuite::named(name)) << name;
    }
    EXPECT_FALSE(DefaultsSuite::named(std::string(201, 'a')));
}

TEST_F(DefaultsSuiteTests, ConcurrentWritersAllLand) {
    const auto suite = DefaultsSuite::named("concurrent");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                suite->set("k" + std::to_string(t) + "-" + std::to_string(i), i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto saved = json::parse(vorn::test::readText(temp / "config" / "concurrent.json"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 40u);
}

}  // namespace
}  // namespace vorn::tally::system
