#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "CapturingLogHandler.h"
#include "FileIO.h"
#include "Signals/SignalCache.h"
#include "TempDir.h"

namespace vorn::tally {
namespace {

using Level = LogHandler::LogLevel;

SignalPostBody numbered(int n) {
    SignalPostBody body;
    body.receivedAt = Date(800000000.0 + n + 0.25);
    body.appID = "APP";
    body.clientUser = "user";
    body.sessionID = "S";
    body.type = "signal-" + std::to_string(n);
    body.payload = {{"n", std::to_string(n)}};
    body.isTestMode = "false";
    return body;
}

std::vector<SignalPostBody> numberedRange(int from, int to) {
    std::vector<SignalPostBody> records;
    for (int n = from; n < to; ++n) {
        records.push_back(numbered(n));
    }
    return records;
}

std::vector<std::string> directoryEntries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SignalCacheTests : public ::testing::Test {
protected:
    std::filesystem::path file() const { return temp / "caches" / "tallysignalcache"; }
    SignalCache makeCache(long long limit = 10000) {
        return SignalCache(log.handler(), limit, file());
    }
    void writeFile(const std::vector<SignalPostBody>& records) {
        std::filesystem::create_directories(file().parent_path());
        vorn::test::writeText(file(), *JSONEncoder{}.encode(records));
    }

    vorn::test::TempDir temp;
    test::CapturingLogHandler log;
};

TEST_F(SignalCacheTests, TrimsTheOldestBeyondTheLimit) {
    auto cache = makeCache();
    cache.push(numberedRange(0, 10000));
    cache.push(numbered(10000));
    EXPECT_EQ(cache.count(), 10000u);
    EXPECT_EQ(cache.pop().front().type, "signal-1");

    // A requeued batch goes after everything cached meanwhile; the oldest make room.
    auto requeue = makeCache();
    requeue.push(numberedRange(100, 10050));
    requeue.push(numberedRange(0, 100));
    EXPECT_EQ(requeue.count(), 10000u);
    EXPECT_EQ(requeue.pop().front().type, "signal-150");
    std::vector<SignalPostBody> last;
    for (auto batch = requeue.pop(); !batch.empty(); batch = requeue.pop()) {
        last = batch;
    }
    EXPECT_EQ(last.back().type, "signal-99");

    for (long long limit : {0LL, -5LL}) {
        auto none = makeCache(limit);
        none.push(numbered(1));
        none.push(numberedRange(0, 3));
        EXPECT_EQ(none.count(), 0u) << limit;
    }
}

TEST_F(SignalCacheTests, PopsAtMostAHundredOldestFirst) {
    auto cache = makeCache();
    EXPECT_TRUE(cache.pop().empty());
    cache.push(numberedRange(0, 250));
    const auto batch = cache.pop();
    ASSERT_EQ(batch.size(), 100u);
    EXPECT_EQ(batch.front().type, "signal-0");
    EXPECT_EQ(batch.back().type, "signal-99");
    EXPECT_EQ(cache.count(), 150u);
    EXPECT_EQ(cache.pop().size(), 100u);
    EXPECT_EQ(cache.pop().size(), 50u);
    EXPECT_TRUE(cache.pop().empty());
}

TEST_F(SignalCacheTests, LoadsTheNewestRecordsOfALargeFileAndRemovesIt) {
    writeFile(numberedRange(0, 12000));
    auto cache = makeCache();
    EXPECT_FALSE(fileio::exists(file()));
    EXPECT_EQ(cache.count(), 10000u);
    EXPECT_EQ(cache.pop().front().type, "signal-2000");
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{"Loading Telemetry cache from: " + file().string(),
                                        "Loaded 12000 signals"}));
}

TEST_F(SignalCacheTests, BackupCreatesTheFolderAndTheNextStartTakesItOver) {
    auto cache = makeCache();
    auto records = numberedRange(0, 3);
    records[1].floatValue = 4.5;
    cache.push(records);
    cache.backupCache();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(directoryEntries(file().parent_path()), std::vector<std::string>{"tallysignalcache"});
    EXPECT_EQ(log.count("Saved Telemetry cache "), 1u);
    const auto size = std::filesystem::file_size(file());
    EXPECT_TRUE(log.messages().back()
                == "Saved Telemetry cache " + std::to_string(size) + " bytes of 3 signals");

    auto next = makeCache();
    EXPECT_FALSE(fileio::exists(file()));
    const auto loaded = next.pop();
    EXPECT_EQ(loaded, records);
    EXPECT_FALSE(loaded[0].floatValue);
}

TEST_F(SignalCacheTests, EmptyBackupWritesAnEmptyArray) {
    makeCache().backupCache();
    EXPECT_EQ(vorn::test::readText(file()), "[]");
    log.clear();
    EXPECT_EQ(makeCache().count(), 0u);
    EXPECT_FALSE(fileio::exists(file()));
    EXPECT_EQ(log.count("Loaded 0 signals"), 1u);
}

TEST_F(SignalCacheTests, UnreadableFilesAreRemovedAndLoadNothing) {
    // A record with a key twice is ambiguous: nothing of such a file is sent.
    const std::string twice = "[{\"type\":\"a\",\"type\":\"b\"}]";
    for (const char* content : {"not json", "{\"receivedAt\":1}", "", "[1, 2", twice.c_str()}) {
        std::filesystem::create_directories(file().parent_path());
        vorn::test::writeText(file(), content);
        log.clear();
        auto cache = makeCache();
        EXPECT_EQ(cache.count(), 0u) << content;
        EXPECT_FALSE(fileio::exists(file())) << content;
        EXPECT_EQ(log.count("Loaded"), 0u) << content;
        EXPECT_EQ(log.lines().back().level, Level::error) << content;
    }
}

TEST_F(SignalCacheTests, ADamagedRecordDoesNotCostTheOthers) {
    const std::string good = *JSONEncoder{}.encode(numbered(1));
    std::filesystem::create_directories(file().parent_path());
    vorn::test::writeText(file(), "[" + good + ",{\"type\":\"broken\"}," + good + "]");
    auto cache = makeCache();
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_EQ(log.count("Skipped 1 unreadable cached signals"), 1u);
}

TEST_F(SignalCacheTests, FailedBackupKeepsTheRecords) {
    // A plain file where the folder should be.
    vorn::test::writeText(temp / "caches", "");
    auto cache = makeCache();
    cache.push(numberedRange(0, 5));
    cache.backupCache();
    EXPECT_EQ(cache.count(), 5u);
    EXPECT_EQ(log.messages().back(), "Error saving Telemetry cache");
}

TEST_F(SignalCacheTests, LoadingClearsTemporariesOfAnInterruptedBackup) {
    writeFile(numberedRange(0, 2));
    const auto stale = file().parent_path() / ".tallysignalcache.tmp-Ab12Cd";
    vorn::test::writeText(stale, "[");
    EXPECT_EQ(makeCache().count(), 2u);
    EXPECT_FALSE(fileio::exists(stale));
}

TEST_F(SignalCacheTests, DefaultFileIsInAFolderOfTheProgramsOwn) {
    ::setenv("XDG_CACHE_HOME", (temp / "xdg").c_str(), 1);
    EXPECT_EQ(SignalCache::defaultFileURL(), temp / "xdg" / "TallyTests" / "tallysignalcache");
    {
        SignalCache cache(std::nullopt, 10);
        cache.push(numbered(7));
        cache.backupCache();
    }
    EXPECT_EQ(SignalCache(std::nullopt, 10).pop(), std::vector{numbered(7)});
    ::unsetenv("XDG_CACHE_HOME");
}

TEST_F(SignalCacheTests, ConcurrentUseLosesAndDuplicatesNothing) {
    auto cache = makeCache(100000);
    constexpr int producers = 4;
    constexpr int perProducer = 500;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < perProducer; ++i) {
                cache.push(numbered(p * perProducer + i));
            }
        });
    }
    std::vector<std::vector<SignalPostBody>> popped(2);
    std::atomic<bool> producing{true};
    std::vector<std::thread> consumers;
    for (auto& into : popped) {
        consumers.emplace_back([&] {
            while (producing.load() || cache.count() > 0) {
                for (auto& record : cache.pop()) {
                    into.push_back(std::move(record));
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    producing = false;
    for (auto& thread : consumers) {
        thread.join();
    }
    std::set<std::string> seen;
    std::size_t total = 0;
    for (const auto& records : popped) {
        total += records.size();
        for (const auto& record : records) {
            seen.insert(record.type);
        }
    }
    EXPECT_EQ(total, static_cast<std::size_t>(producers * perProducer));
    EXPECT_EQ(seen.size(), total);
}

}  // namespace
}  // namespace vorn::tally
