#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "Store.h"
#include "TempDir.h"

#include <sys/stat.h>

namespace vorn {
namespace {

using test::readText;
using test::writeText;

const char* const twoSpaces = R"({"spaces":[{"name":"A"},{"name":"B"}]})";
const char* const oneSpace = R"({"spaces":[{"name":"Only"}],"version":2})";

AppState stateNamed(const std::string& name) {
    AppState state;
    Space space;
    space.name = name;
    state.spaces.push_back(space);
    return state;
}

std::vector<std::string> directoryEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

struct LoadCase {
    const char* name;
    std::optional<std::string> main;
    std::optional<std::string> backup;
    std::vector<std::string> expectedSpaces;
    SidebarSide expectedSide;
    std::optional<std::string> expectedLog;
};

TEST(JSONFileStoreTests, LoadPrecedence) {
    const std::string rollback =
        "load: main unusable or degraded, rolled back to backup (spaces=2)";
    const std::string fresh = "load: main and backup both unusable, using fresh default state";
    const LoadCase cases[] = {
        {"first run", std::nullopt, std::nullopt, {}, SidebarSide::left, std::nullopt},
        {"usable main wins", oneSpace, "garbage", {"Only"}, SidebarSide::left, std::nullopt},
        {"empty main, usable backup",
         R"({"spaces":[]})",
         twoSpaces,
         {"A", "B"},
         SidebarSide::left,
         rollback},
        {"undecodable main, usable backup",
         "{oops",
         twoSpaces,
         {"A", "B"},
         SidebarSide::left,
         rollback},
        {"main without space is kept as decoded",
         R"({"settings":{"side":"right"}})",
         std::nullopt,
         {},
         SidebarSide::right,
         std::nullopt},
        {"backup without space is kept as decoded",
         std::nullopt,
         R"({"settings":{"side":"right"}})",
         {},
         SidebarSide::right,
         std::nullopt},
        {"main not JSON", "not json", std::nullopt, {}, SidebarSide::left, fresh},
        {"backup not JSON", std::nullopt, "not json", {}, SidebarSide::left, fresh},
        {"top level array", "[1,2]", "[]", {}, SidebarSide::left, fresh},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        JSONFileStore store(dir / "state.json");
        if (c.main) {
            writeText(store.url(), *c.main);
        }
        if (c.backup) {
            writeText(store.backupURL(), *c.backup);
        }
        test::CapturingLogSink log;
        const AppState state = store.load();

        std::vector<std::string> names;
        for (const auto& space : state.spaces) {
            names.push_back(space.name);
        }
        EXPECT_EQ(names, c.expectedSpaces);
        EXPECT_EQ(state.settings.side, c.expectedSide);
        const auto messages = log.messages("store");
        if (c.expectedLog) {
            EXPECT_EQ(messages, std::vector<std::string>{*c.expectedLog});
        } else {
            EXPECT_TRUE(messages.empty());
        }
        if (c.main) {
            EXPECT_EQ(readText(store.url()), *c.main);
        }
        if (c.backup) {
            EXPECT_EQ(readText(store.backupURL()), *c.backup);
        }
        std::vector<std::string> expectedFiles;
        if (c.main) {
            expectedFiles.emplace_back("state.json");
        }
        if (c.backup) {
            expectedFiles.emplace_back("state.json.bak");
        }
        EXPECT_EQ(directoryEntries(dir.path()), expectedFiles);
        if (!c.main && !c.backup) {
            EXPECT_EQ(state, JSONFileStore::freshState());
            EXPECT_EQ(state.version, 2);
        }
    }
}

TEST(JSONFileStoreTests, SaveKeepsOneGenerationOfBackup) {
    test::TempDir dir;
    JSONFileStore store(dir / "nested" / "deeper" / "state.json");
    ASSERT_TRUE(store.save(stateNamed("first")));
    EXPECT_FALSE(fileio::exists(store.backupURL()));
    EXPECT_EQ(modeOf(dir / "nested"), 0700U);
    EXPECT_EQ(modeOf(store.url()), 0600U);

    const std::string firstBytes = readText(store.url());
    ASSERT_TRUE(store.save(stateNamed("second")));
    EXPECT_EQ(readText(store.backupURL()), firstBytes);
    EXPECT_EQ(readText(store.url()), *encodeStateFile(stateNamed("second")));
    EXPECT_EQ(modeOf(store.backupURL()), 0600U);
    EXPECT_EQ(store.load().spaces.at(0).name, "second");
}

TEST(JSONFileStoreTests, SaveNeverCopiesADamagedFileOverTheBackup) {
    for (const char* damaged : {R"({"spaces":[]})", "{oops"}) {
        SCOPED_TRACE(damaged);
        test::TempDir dir;
        JSONFileStore store(dir / "state.json");
        writeText(store.url(), damaged);
        writeText(store.backupURL(), twoSpaces);
        test::CapturingLogSink log;
        EXPECT_EQ(store.load().spaces.size(), 2U);
        ASSERT_TRUE(store.save(stateNamed("new")));
        EXPECT_EQ(readText(store.backupURL()), twoSpaces);
        // The unusable file is kept once for recovery by hand.
        EXPECT_EQ(readText(store.corruptURL()), damaged);
        EXPECT_EQ(log.count("store", "save: kept unusable state file path="), 1U);
        ASSERT_TRUE(store.save(stateNamed("newer")));
        EXPECT_EQ(readText(store.corruptURL()), damaged);
        EXPECT_EQ(log.count("store", "save: kept unusable state file"), 1U);
    }
}

TEST(JSONFileStoreTests, SaveWithoutUsableCurrentFileLeavesBackupAlone) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    writeText(store.backupURL(), oneSpace);
    ASSERT_TRUE(store.save(stateNamed("x")));
    EXPECT_EQ(readText(store.backupURL()), oneSpace);
}

TEST(JSONFileStoreTests, FailedSavesReportFalseAndKeepThePreviousFile) {
    {
        SCOPED_TRACE("a regular file where the directory should be");
        test::TempDir dir;
        writeText(dir / "data", "I am a file");
        JSONFileStore store(dir / "data" / "state.json");
        test::CapturingLogSink log;
        EXPECT_FALSE(store.save(stateNamed("x")));
        EXPECT_EQ(log.count("store", "save failed: "), 1U);
        EXPECT_EQ(readText(dir / "data"), "I am a file");
    }
    {
        SCOPED_TRACE("a directory where the state file should be");
        test::TempDir dir;
        std::filesystem::create_directories(dir / "state.json" / "inside");
        JSONFileStore store(dir / "state.json");
        test::CapturingLogSink log;
        EXPECT_FALSE(store.save(stateNamed("x")));
        EXPECT_FALSE(store.save(stateNamed("y")));
        // One line per distinct error, not one per attempt.
        EXPECT_EQ(log.count("store", "save failed: "), 1U);
        EXPECT_EQ(directoryEntries(dir.path()), std::vector<std::string>{"state.json"});
    }
}

TEST(JSONFileStoreTests, EachFailingWriteStepLeavesThePreviousFileIntact) {
    using fileio::WriteStep;
    for (const auto step :
         {WriteStep::createDirectory, WriteStep::createTemporary, WriteStep::write, WriteStep::sync,
          WriteStep::close, WriteStep::rename, WriteStep::syncDirectory}) {
        SCOPED_TRACE(std::string(fileio::name(step)));
        test::TempDir dir;
        JSONFileStore store(dir / "state.json");
        ASSERT_TRUE(store.save(stateNamed("old")));
        const std::string oldBytes = readText(store.url());
        // Fail only the write of the state file itself, not the backup copy before it.
        int writes = 0;
        store.setFaultInjector([&](WriteStep s) {
            if (s == WriteStep::createTemporary) {
                ++writes;
            }
            return s == step && (step == WriteStep::createDirectory || writes == 2);
        });
        test::CapturingLogSink log;
        EXPECT_FALSE(store.save(stateNamed("new")));
        EXPECT_EQ(log.count("store", "save failed: "), 1U);
        if (step == WriteStep::syncDirectory) {
            // Renamed already: the new content is whole, only its durability is in doubt.
            EXPECT_EQ(readText(store.url()), *encodeStateFile(stateNamed("new")));
        } else {
            EXPECT_EQ(readText(store.url()), oldBytes);
        }
        const auto entries = directoryEntries(dir.path());
        for (const auto& entry : entries) {
            EXPECT_EQ(entry.find(".tmp-"), std::string::npos) << entry;
        }
        store.setFaultInjector({});
        EXPECT_TRUE(store.save(stateNamed("again")));
    }
}

TEST(JSONFileStoreTests, LoadRemovesStaleTemporaryFiles) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    writeText(store.url(), oneSpace);
    writeText(dir / ".state.json.tmp-Ab12Cd", "{\"half");
    writeText(dir / ".state.json.bak.tmp-Zz99Yy", "");
    writeText(dir / ".other.json.tmp-Ab12Cd", "not ours");
    EXPECT_EQ(store.load().spaces.size(), 1U);
    EXPECT_EQ(directoryEntries(dir.path()),
              (std::vector<std::string>{".other.json.tmp-Ab12Cd", "state.json"}));
}

TEST(InMemoryStoreTests, HoldsTheLastSavedState) {
    InMemoryStore store(stateNamed("a"));
    EXPECT_EQ(store.load().spaces[0].name, "a");
    EXPECT_TRUE(store.save(stateNamed("b")));
    EXPECT_EQ(store.load().spaces[0].name, "b");
}

}  // namespace
}  // namespace vorn
