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
    std::filesystem::path file(const std::string& name = "tallysignalcache") const {
        return temp / "caches" / name;
    }
    std::unique_ptr<SignalCache> makeCache(long long limit = 10000,
                                           const std::string& name = "tallysignalcache") {
        return std::make_unique<SignalCache>(log.handler(), limit, file(name));
    }
    // The records in the file once the cache has written every change.
    std::vector<SignalPostBody> onDisk(const SignalCache& cache,
                                       const std::string& name = "tallysignalcache") {
        EXPECT_TRUE(cache.waitUntilWritten(std::chrono::seconds(10)));
        const auto decoded = JSONDecoder{}.decodeArray(fileio::readFile(file(name)).value_or(""));
        return decoded ? decoded->records : std::vector<SignalPostBody>{};
    }
    static std::vector<std::string> types(const std::vector<SignalPostBody>& records) {
        std::vector<std::string> out;
        for (const auto& record : records) {
            out.push_back(record.type);
        }
        return out;
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
    cache->push(numberedRange(0, 10000));
    cache->push(numbered(10000));
    EXPECT_EQ(cache->count(), 10000u);
    EXPECT_EQ(cache->pop().front().type, "signal-1");

    // A requeued batch goes after everything cached meanwhile; the oldest make room.
    auto requeue = makeCache(10000, "requeue");
    requeue->push(numberedRange(100, 10050));
    requeue->push(numberedRange(0, 100));
    EXPECT_EQ(requeue->count(), 10000u);
    EXPECT_EQ(requeue->pop().front().type, "signal-150");
    std::vector<SignalPostBody> last;
    for (auto batch = requeue->pop(); !batch.empty(); batch = requeue->pop()) {
        last = batch;
    }
    EXPECT_EQ(last.back().type, "signal-99");

    for (long long limit : {0LL, -5LL}) {
        auto none = makeCache(limit, "none");
        none->push(numbered(1));
        none->push(numberedRange(0, 3));
        EXPECT_EQ(none->count(), 0u) << limit;
    }
}

TEST_F(SignalCacheTests, PopsAtMostAHundredOldestFirst) {
    auto cache = makeCache();
    EXPECT_TRUE(cache->pop().empty());
    cache->push(numberedRange(0, 250));
    const auto batch = cache->pop();
    ASSERT_EQ(batch.size(), 100u);
    EXPECT_EQ(batch.front().type, "signal-0");
    EXPECT_EQ(batch.back().type, "signal-99");
    EXPECT_EQ(cache->count(), 150u);
    EXPECT_EQ(cache->pop().size(), 100u);
    EXPECT_EQ(cache->pop().size(), 50u);
    EXPECT_TRUE(cache->pop().empty());
}

TEST_F(SignalCacheTests, LoadsTheNewestRecordsOfALargeFileAndKeepsOnlyThem) {
    writeFile(numberedRange(0, 12000));
    auto cache = makeCache();
    // Loaded on the cache's own thread: a record pushed meanwhile comes after the loaded ones.
    cache->push(numbered(20000));
    EXPECT_EQ(cache->count(), 10000u);
    EXPECT_EQ(cache->pop().front().type, "signal-2001");
    const auto kept = onDisk(*cache);
    ASSERT_EQ(kept.size(), 9900u);
    EXPECT_EQ(kept.front().type, "signal-2101");
    EXPECT_EQ(kept.back().type, "signal-20000");
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{"Loading Telemetry cache from: " + file().string(),
                                        "Loaded 12000 signals"}));
}

TEST_F(SignalCacheTests, EveryChangeReachesTheFileAndBatchesLeaveItOnlyWhenSettled) {
    auto cache = makeCache();
    auto records = numberedRange(0, 5);
    records[1].floatValue = 4.5;
    cache->push(records);
    EXPECT_EQ(onDisk(*cache), records);

    // Checked out for delivery: still on disk, in the same order.
    auto first = cache->checkOut();
    EXPECT_EQ(first.records, records);
    cache->push(numbered(5));
    EXPECT_EQ(types(onDisk(*cache)),
              (std::vector<std::string>{"signal-0", "signal-1", "signal-2", "signal-3", "signal-4",
                                        "signal-5"}));
    // A failed batch goes back after everything waiting; a delivered one leaves for good.
    cache->giveBack(first.ticket, {records[3], records[4]});
    EXPECT_EQ(types(onDisk(*cache)),
              (std::vector<std::string>{"signal-5", "signal-3", "signal-4"}));
    auto second = cache->checkOut();
    cache->settle(second.ticket);
    EXPECT_TRUE(onDisk(*cache).empty());
    // Settling or giving back twice changes nothing.
    cache->giveBack(first.ticket, records);
    cache->settle(second.ticket);
    EXPECT_EQ(cache->count(), 0u);

    // The next cache on the file finds what the last one left, floatValue as it was.
    cache->push(records);
    ASSERT_TRUE(cache->waitUntilWritten(std::chrono::seconds(10)));
    cache.reset();
    EXPECT_EQ(makeCache()->pop(), records);
}

TEST_F(SignalCacheTests, BackupWritesWaitingAndCheckedOutRecords) {
    auto cache = makeCache();
    cache->push(numberedRange(0, 150));
    const auto inFlight = cache->checkOut();
    cache->backupCache();
    EXPECT_EQ(cache->count(), 50u);
    EXPECT_EQ(directoryEntries(file().parent_path()), std::vector<std::string>{"tallysignalcache"});
    const auto size = std::filesystem::file_size(file());
    EXPECT_EQ(log.messages().back(),
              "Saved Telemetry cache " + std::to_string(size) + " bytes of 150 signals");
    EXPECT_EQ(onDisk(*cache), numberedRange(0, 150));
}

TEST_F(SignalCacheTests, ANewerCacheTakesTheFileOver) {
    auto older = makeCache();
    older->push(numberedRange(0, 4));
    const auto inFlight = older->checkOut();
    auto newer = makeCache();
    // Everything the older one held, the batch in flight included, moved through the file.
    EXPECT_EQ(newer->count(), 4u);
    EXPECT_EQ(older->count(), 0u);
    // The older one keeps what it gets afterwards in memory only, and its batch is no longer
    // its own.
    older->push(numbered(9));
    older->giveBack(inFlight.ticket, inFlight.records);
    older->backupCache();
    EXPECT_EQ(older->count(), 1u);
    EXPECT_EQ(onDisk(*newer), numberedRange(0, 4));
}

TEST_F(SignalCacheTests, ErasingDeletesTheFileAndKeepsNothingAfterwards) {
    auto cache = makeCache();
    cache->push(numberedRange(0, 3));
    const auto inFlight = cache->checkOut();
    ASSERT_TRUE(cache->waitUntilWritten(std::chrono::seconds(10)));
    cache->erase();
    EXPECT_FALSE(fileio::exists(file()));
    cache->push(numbered(4));
    cache->giveBack(inFlight.ticket, inFlight.records);
    cache->backupCache();
    EXPECT_EQ(cache->count(), 0u);
    EXPECT_TRUE(cache->waitUntilWritten(std::chrono::seconds(10)));
    EXPECT_FALSE(fileio::exists(file()));
}

TEST_F(SignalCacheTests, UnreadableFilesAreRemovedAndLoadNothing) {
    // A record with a key twice is ambiguous: nothing of such a file is sent.
    const std::string twice = "[{\"type\":\"a\",\"type\":\"b\"}]";
    for (const char* content : {"not json", "{\"receivedAt\":1}", "", "[1, 2", twice.c_str()}) {
        std::filesystem::create_directories(file().parent_path());
        vorn::test::writeText(file(), content);
        log.clear();
        auto cache = makeCache();
        EXPECT_EQ(cache->count(), 0u) << content;
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
    EXPECT_EQ(cache->count(), 2u);
    EXPECT_EQ(log.count("Skipped 1 unreadable cached signals"), 1u);
}

TEST_F(SignalCacheTests, FailedBackupKeepsTheRecords) {
    // A plain file where the folder should be.
    vorn::test::writeText(temp / "caches", "");
    auto cache = makeCache();
    for (int i = 0; i < 5; ++i) {
        cache->push(numbered(i));
        EXPECT_TRUE(cache->waitUntilWritten(std::chrono::seconds(10)));
    }
    // One line for the lasting fault, not one per change; an explicit backup reports its own.
    EXPECT_EQ(log.count("Error saving Telemetry cache"), 1u);
    cache->backupCache();
    EXPECT_EQ(cache->count(), 5u);
    EXPECT_EQ(log.count("Error saving Telemetry cache"), 2u);
}

TEST_F(SignalCacheTests, LoadingClearsTemporariesOfAnInterruptedBackup) {
    writeFile(numberedRange(0, 2));
    const auto stale = file().parent_path() / ".tallysignalcache.tmp-Ab12Cd";
    vorn::test::writeText(stale, "[");
    EXPECT_EQ(makeCache()->count(), 2u);
    EXPECT_FALSE(fileio::exists(stale));
}

TEST_F(SignalCacheTests, DefaultFileIsInAFolderOfTheProgramsOwn) {
    ::setenv("XDG_CACHE_HOME", (temp / "xdg").c_str(), 1);
    EXPECT_EQ(SignalCache::defaultFileURL(), temp / "xdg" / "TallyTests" / "tallysignalcache");
    {
        SignalCache cache(std::nullopt, 10);
        cache.push(numbered(7));
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
                cache->push(numbered(p * perProducer + i));
            }
        });
    }
    std::vector<std::vector<SignalPostBody>> popped(2);
    std::atomic<bool> producing{true};
    std::vector<std::thread> consumers;
    for (auto& into : popped) {
        consumers.emplace_back([&] {
            while (producing.load() || cache->count() > 0) {
                for (auto& record : cache->pop()) {
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
