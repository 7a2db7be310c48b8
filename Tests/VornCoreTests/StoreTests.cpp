#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "InstanceLock.h"
#include "Store.h"
#include "TempDir.h"
#include "Text.h"

#include <sys/stat.h>
#include <unistd.h>

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
        ASSERT_EQ(store.asideFiles().size(), 1U);
        EXPECT_EQ(readText(store.asideFiles().front()), damaged);
        EXPECT_EQ(log.count("store", "save: moved the unusable state file aside path="), 1U);
        ASSERT_TRUE(store.save(stateNamed("newer")));
        EXPECT_EQ(store.asideFiles().size(), 1U);
        EXPECT_EQ(log.count("store", "save: moved the unusable state file aside"), 1U);
    }
}

TEST(JSONFileStoreTests, APartlyReadFileIsKeptAsideButNeverBecomesTheBackup) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    const std::string damaged =
        R"({"spaces":[{"name":"Now","tabs":[{"app":{"bundleId":"a"}},{"lastTitle":"no app"}]}]})";
    writeText(store.url(), damaged);
    writeText(store.backupURL(), twoSpaces);
    test::CapturingLogSink log;
    EXPECT_EQ(store.load().spaces.at(0).name, "Now");
    ASSERT_TRUE(store.save(stateNamed("first")));
    EXPECT_EQ(readText(store.backupURL()), twoSpaces);
    ASSERT_EQ(store.asideFiles().size(), 1U);
    EXPECT_EQ(readText(store.asideFiles().front()), damaged);
    // Read once, at the load: the save knows the bytes.
    EXPECT_EQ(log.count("store", "Space decode: dropped 1 corrupt tab(s)"), 1U);
    // A file this store wrote loads fully, and moves on into the backup as usual.
    const std::string first = readText(store.url());
    ASSERT_TRUE(store.save(stateNamed("second")));
    EXPECT_EQ(readText(store.backupURL()), first);
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
        if (step == WriteStep::syncDirectory) {
            // Renamed already: the new content is whole, only its durability is in doubt.
            EXPECT_TRUE(store.save(stateNamed("new")));
            EXPECT_EQ(log.count("store", "save: written, but not yet durable: "), 1U);
            EXPECT_EQ(readText(store.url()), *encodeStateFile(stateNamed("new")));
        } else {
            EXPECT_FALSE(store.save(stateNamed("new")));
            EXPECT_EQ(log.count("store", "save failed: "), 1U);
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

TEST(JSONFileStoreTests, LoadRemovesStaleTemporaryFilesOnlyUnderTheInstanceLock) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    writeText(store.url(), oneSpace);
    writeText(dir / ".state.json.tmp-Ab12Cd", "{\"half");
    writeText(dir / ".state.json.bak.tmp-Zz99Yy", "");
    writeText(dir / ".other.json.tmp-Ab12Cd", "not ours");
    // Without the lock the temporary file may be another instance's write under way.
    EXPECT_EQ(store.load().spaces.size(), 1U);
    EXPECT_EQ(directoryEntries(dir.path()).size(), 4U);

    auto lock = InstanceLock::acquire(dir.path());
    ASSERT_EQ(lock.outcome, InstanceLock::Outcome::acquired);
    EXPECT_EQ(store.load().spaces.size(), 1U);
    EXPECT_EQ(directoryEntries(dir.path()),
              (std::vector<std::string>{".other.json.tmp-Ab12Cd", "state.json", "vorn.lock"}));
}

// A clock that moves one second per reading, from 2001-01-01T00:00:00Z.
Clock tickingClock() {
    auto seconds = std::make_shared<double>(0);
    return [seconds] { return Date((*seconds)++); };
}

bool isFIFO(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

TEST(JSONFileStoreTests, AnUnreadableStateFileIsMovedAsideByRenameBeforeTheFirstSave) {
    struct Case {
        const char* name;
        std::function<void(JSONFileStore&)> prepare;
    };
    const Case cases[] = {
        // Root reads any file whatever its mode, so the failed read comes from the seam.
        {"no permission to read",
         [](JSONFileStore& store) {
             writeText(store.url(), oneSpace);
             ::chmod(store.url().c_str(), 0);
             // The state file is read first, then the backup.
             auto reads = std::make_shared<int>(0);
             store.setFaultInjector([reads](fileio::WriteStep s) {
                 return s == fileio::WriteStep::read && ++*reads == 1;
             });
         }},
        {"a FIFO", [](JSONFileStore& store) { ASSERT_EQ(::mkfifo(store.url().c_str(), 0644), 0); }},
        {"a directory",
         [](JSONFileStore& store) { std::filesystem::create_directory(store.url()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        JSONFileStore store(dir / "state.json", tickingClock());
        writeText(store.backupURL(), twoSpaces);
        c.prepare(store);
        struct stat before {};
        ASSERT_EQ(::lstat(store.url().c_str(), &before), 0);

        test::CapturingLogSink log;
        EXPECT_EQ(store.load().spaces.size(), 2U);  // the backup, without hanging on a FIFO
        store.setFaultInjector({});
        ASSERT_TRUE(store.save(stateNamed("new")));
        // The very same file, renamed, not a copy of what could be read.
        const auto aside = store.asideFiles();
        ASSERT_EQ(aside.size(), 1U);
        struct stat kept {};
        ASSERT_EQ(::lstat(aside.front().c_str(), &kept), 0);
        EXPECT_EQ(kept.st_ino, before.st_ino);
        // Private to the user whatever mode it had, and readable by the user for recovery.
        EXPECT_EQ(kept.st_mode & 07777, S_ISDIR(kept.st_mode) ? 0700U : 0600U);
        EXPECT_EQ(readText(store.backupURL()), twoSpaces);
        EXPECT_EQ(store.load().spaces.at(0).name, "new");
    }
}

TEST(JSONFileStoreTests, WhenTheUnusableFileCannotBeMovedNothingIsSavedThisRun) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    ASSERT_EQ(::mkfifo(store.url().c_str(), 0600), 0);
    (void)store.load();
    store.setFaultInjector([](fileio::WriteStep s) { return s == fileio::WriteStep::moveAside; });
    test::CapturingLogSink log;
    EXPECT_FALSE(store.save(stateNamed("a")));
    store.setFaultInjector({});
    EXPECT_FALSE(store.save(stateNamed("b")));
    EXPECT_TRUE(isFIFO(store.url()));
    EXPECT_TRUE(store.asideFiles().empty());
    EXPECT_EQ(log.messages("store"),
              std::vector<std::string>{
                  "save refused for this run: the unusable state file cannot be moved aside "
                  "error=move aside "
                  + store.url().string() + ": Permission denied"});
}

TEST(JSONFileStoreTests, APartlyDecodedFileIsKeptAsideOnceBeforeTheFirstSave) {
    const std::pair<const char*, std::string> cases[] = {
        {"a damaged tab dropped",
         R"({"spaces":[{"name":"A","tabs":[{"app":{"bundleId":"a"}},{"lastTitle":"no app"}]}]})"},
        {"tabs of the wrong type", R"({"spaces":[{"name":"A","tabs":{"x":1}}]})"},
        {"a newer version", R"({"spaces":[{"name":"A","future":1}],"version":3})"},
        {"a key twice", R"({"spaces":[{"name":"A","name":"B"}]})"},
        {"invalid UTF-8", "{\"spaces\":[{\"name\":\"A\xFF\"}]}"},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        JSONFileStore store(dir / "state.json", tickingClock());
        writeText(store.url(), file);
        test::CapturingLogSink log;
        EXPECT_EQ(store.load().spaces.size(), 1U);
        ASSERT_TRUE(store.save(stateNamed("one")));
        ASSERT_TRUE(store.save(stateNamed("two")));
        ASSERT_TRUE(store.save(stateNamed("three")));
        // The backup has long moved on; the original is still there, once.
        const auto aside = store.asideFiles();
        ASSERT_EQ(aside.size(), 1U);
        EXPECT_EQ(readText(aside.front()), file);
        EXPECT_EQ(log.count("store", "save: kept the partly read state file path="), 1U);
    }
    test::CapturingLogSink log;
    test::TempDir dir;
    writeText(dir / "state.json", cases[2].second);
    (void)JSONFileStore(dir / "state.json").load();
    EXPECT_EQ(log.count("store", "AppState decode: version 3 is newer than this build writes (2)"),
              1U);
}

TEST(JSONFileStoreTests, AsideFilesAreNamedByTimeAndTheFiveNewestKept) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json", tickingClock());
    for (int round = 0; round < 7; ++round) {
        writeText(store.url(), "damaged " + std::to_string(round));
        (void)store.load();
        ASSERT_TRUE(store.save(stateNamed("x")));
    }
    std::vector<std::string> names;
    for (const auto& file : store.asideFiles()) {
        names.push_back(file.filename().string());
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{
                  "state.json.corrupt-20010101T000006Z", "state.json.corrupt-20010101T000005Z",
                  "state.json.corrupt-20010101T000004Z", "state.json.corrupt-20010101T000003Z",
                  "state.json.corrupt-20010101T000002Z"}));
    EXPECT_EQ(readText(store.asideFiles().front()), "damaged 6");

    // A clock set back still keeps the file just set aside; two in one second both stay.
    JSONFileStore frozen(dir / "state.json", [] { return Date(0); });
    for (int round = 0; round < 2; ++round) {
        writeText(frozen.url(), "again");
        (void)frozen.load();
        ASSERT_TRUE(frozen.save(stateNamed("y")));
    }
    EXPECT_TRUE(fileio::exists(dir / "state.json.corrupt-20010101T000000Z-2"));
    EXPECT_EQ(store.asideFiles().size(), 5U);
}

TEST(JSONFileStoreTests, ARetryAfterAFailedDirectorySyncNeverRotatesTheBackupTwice) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    ASSERT_TRUE(store.save(stateNamed("a")));
    ASSERT_TRUE(store.save(stateNamed("b")));
    const std::string b = readText(store.url());
    store.setFaultInjector(
        [](fileio::WriteStep s) { return s == fileio::WriteStep::syncDirectory; });
    EXPECT_TRUE(store.save(stateNamed("c")));
    EXPECT_EQ(readText(store.backupURL()), b);
    // A caller that offers the same state again must not push "b" out of the backup.
    EXPECT_TRUE(store.save(stateNamed("c")));
    EXPECT_EQ(readText(store.backupURL()), b);
}

TEST(JSONFileStoreTests, ALastingFaultIsLoggedOncePerStepAndError) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    fileio::WriteStep failing = fileio::WriteStep::write;
    bool fail = true;
    store.setFaultInjector([&](fileio::WriteStep s) { return fail && s == failing; });
    test::CapturingLogSink log;
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(store.save(stateNamed("x" + std::to_string(i))));
    }
    EXPECT_EQ(log.count("store", "save failed: write "), 1U);
    failing = fileio::WriteStep::sync;
    EXPECT_FALSE(store.save(stateNamed("y")));
    EXPECT_FALSE(store.save(stateNamed("z")));
    EXPECT_EQ(log.count("store", "save failed: sync "), 1U);
    fail = false;
    EXPECT_TRUE(store.save(stateNamed("ok")));
    fail = true;
    EXPECT_FALSE(store.save(stateNamed("again")));
    EXPECT_EQ(log.count("store", "save failed: sync "), 2U);
    EXPECT_EQ(log.messages("store").size(), 3U);
}

TEST(JSONFileStoreTests, OneBadOrOverlongTextCostsACharacterOrTheTailNotTheFile) {
    test::TempDir dir;
    JSONFileStore store(dir / "state.json");
    const std::string huge(10 * 1024 * 1024, 'x');
    writeText(
        store.url(),
        "{\"spaces\":[{\"name\":\"A\",\"tabs\":["
        "{\"app\":{\"bundleId\":\"a\",\"name\":\"\xC3\"},\"lastTitle\":\"bad \xE2\x82 byte\"},"
        "{\"app\":{\"bundleId\":\"b\"},\"lastTitle\":\"lone \\ud83d surrogate\"},"
        "{\"app\":{\"bundleId\":\"c\"},\"lastTitle\":\"pair \\ud83d\\ude00 kept\"},"
        "{\"app\":{\"bundleId\":\"d\"},\"lastTitle\":\"é"
            + huge + "\",\"docPath\":\"/" + huge + "\"},"
            "{\"app\":{\"bundleId\":\"" + huge + "\"}}]}],\"sessionToken\":\"" + huge + "\"}");
    test::CapturingLogSink log;
    const AppState state = store.load();
    ASSERT_EQ(state.spaces.size(), 1U);
    const auto& tabs = state.spaces[0].tabs;
    ASSERT_EQ(tabs.size(), 5U);
    EXPECT_EQ(tabs[0].lastTitle, "bad \xEF\xBF\xBD\xEF\xBF\xBD byte");
    EXPECT_EQ(tabs[0].app.name, "\xEF\xBF\xBD");
    EXPECT_EQ(tabs[1].lastTitle, "lone \xEF\xBF\xBD surrogate");
    EXPECT_EQ(tabs[2].lastTitle, "pair \xF0\x9F\x98\x80 kept");
    EXPECT_EQ(tabs[3].lastTitle.size(), text::longestKeptText);
    EXPECT_EQ(tabs[3].lastTitle.substr(0, 3),
              "é"
              "x");
    EXPECT_EQ(tabs[3].docPath->size(), text::longestKeptText);
    // An identifier no longer than any window's, so it still matches one.
    EXPECT_EQ(tabs[4].app.bundleId, std::string(text::longestKeptIdentifier, 'x'));
    EXPECT_EQ(state.sessionToken->size(), text::longestKeptText);
    EXPECT_EQ(log.count("store",
                        "AppState decode: cut 4 text(s) to the longest kept (4096 bytes, "
                        "identifiers 255)"),
              1U);
    // Cut is partly read: the original is kept aside once, and the cut state saved.
    ASSERT_TRUE(store.save(state));
    ASSERT_EQ(store.asideFiles().size(), 1U);
    EXPECT_LT(readText(store.url()).size(), 64U * 1024);
    EXPECT_EQ(log.count("store", "AppState decode: invalid UTF-8 or lone surrogates"), 1U);

    // Cut on a character boundary: a two-byte letter across the limit goes whole.
    std::string title(text::longestKeptText - 1, 'x');
    title += "é";
    EXPECT_TRUE(text::cutToLength(title));
    EXPECT_EQ(title.size(), text::longestKeptText - 1);
}

TEST(InMemoryStoreTests, HoldsTheLastSavedState) {
    InMemoryStore store(stateNamed("a"));
    EXPECT_EQ(store.load().spaces[0].name, "a");
    EXPECT_TRUE(store.save(stateNamed("b")));
    EXPECT_EQ(store.load().spaces[0].name, "b");
}

}  // namespace
}  // namespace vorn
