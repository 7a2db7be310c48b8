#include <algorithm>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "AsideFiles.h"
#include "FileIO.h"
#include "Helpers/LogHandler.h"
#include "System/DefaultsSuite.h"
#include "TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(DefaultsSuiteTests, UnreadableFilesAreKeptAsideEachUnderANameOfItsOwn) {
    std::vector<std::string> logged;
    LogHandler::setStandardOutput(
        [&](LogHandler::LogLevel, const std::string& message) { logged.push_back(message); });
    const auto config = temp / "config";
    std::filesystem::create_directories(config);
    vorn::test::writeText(config / "broken.json", "{\"user\":");
    ::chmod((config / "broken.json").c_str(), 0644);
    const auto suite = DefaultsSuite::named("broken");
    EXPECT_FALSE(suite->value("user"));
    suite->set("user", "B");
    EXPECT_EQ(suite->string("user"), "B");

    // A second bad file, read by a suite of the same file under another spelling of its
    // directory, as the next run would: a key twice has no one meaning either.
    vorn::test::writeText(config / "broken.json", R"({"user":"A","user":"B"})");
    ::setenv("XDG_CONFIG_HOME", (config / ".").c_str(), 1);
    EXPECT_FALSE(DefaultsSuite::named("broken")->value("user"));
    LogHandler::setStandardOutput({});

    const AsideFiles aside(config / "broken.json", systemClock());
    const auto kept = aside.list();
    ASSERT_EQ(kept.size(), 2u);
    std::vector<std::string> contents;
    for (const auto& file : kept) {
        contents.push_back(vorn::test::readText(file));
        struct stat info {};
        ::stat(file.c_str(), &info);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << file;
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"{\"user\":", R"({"user":"A","user":"B"})"}));
    ASSERT_EQ(logged.size(), 2u);
    for (const auto& message : logged) {
        EXPECT_EQ(message.rfind("Unreadable settings file moved aside path=", 0), 0u) << message;
        EXPECT_NE(message.find("/broken.json.corrupt-"), std::string::npos) << message;
    }
    EXPECT_NE(logged[0].find("mode 0644 -> 0600"), std::string::npos);
}

TEST_F(DefaultsSuiteTests, AFileThatCannotBeMovedAsideIsLeftAsItIsAndTheLogSaysSo) {
    const auto config = temp / "config";
    std::filesystem::create_directories(config);
    vorn::test::writeText(config / "stuck.json", "{\"user\":");
    // A directory the suite may not write: root writes any, so the suite runs as nobody.
    ::chmod(temp.path().c_str(), 0755);
    ::chmod(config.c_str(), 0555);
    const bool asRoot = ::geteuid() == 0;
    ASSERT_TRUE(!asRoot || ::seteuid(65534) == 0);
    std::vector<std::string> logged;
    LogHandler::setStandardOutput(
        [&](LogHandler::LogLevel, const std::string& message) { logged.push_back(message); });
    const auto suite = DefaultsSuite::named("stuck");
    suite->set("user", "B");
    LogHandler::setStandardOutput({});
    ASSERT_TRUE(!asRoot || ::seteuid(0) == 0);
    ::chmod(config.c_str(), 0755);

    EXPECT_EQ(suite->string("user"), "B");
    EXPECT_EQ(vorn::test::readText(config / "stuck.json"), "{\"user\":");
    EXPECT_TRUE(AsideFiles(config / "stuck.json", systemClock()).list().empty());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("Unreadable settings file could not be moved aside; it is left as "
                              "it is and changes are not saved path="
                                  + (config / "stuck.json").string() + " error=",
                              0),
              0u)
        << logged[0];
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
