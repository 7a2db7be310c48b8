#include <gtest/gtest.h>

#include "PirateMetrics/SessionManager.h"
#include "System/NotificationCenter.h"
#include "System/TimeZone.h"
#include "Tally.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

using system::Notification;
using system::NotificationCenter;

// 2026-05-09 06:13:20 UTC, the virtual clock's start.
const std::string startDay = "2026-05-09";
constexpr double day = 86400;

class SessionManagerTests : public test::TallyTest {
protected:
    void SetUp() override {
        TallyTest::SetUp();
        auto configuration = makeConfiguration();
        // The tests start their sessions themselves.
        configuration->setSessionStatsEnabled(false);
        configuration->setSendNewSessionBeganSignal(false);
        Tally::initialize(configuration);
        system::setUtcOffsetOverride([this](Date) { return offset; });
    }

    void TearDown() override {
        if (manager) {
            manager->flush();
        }
        manager.reset();
        TallyTest::TearDown();
    }

    std::shared_ptr<system::DefaultsSuite> suite() { return Tally::customDefaults(); }

    std::shared_ptr<SessionManager> create() {
        manager = SessionManager::create();
        manager->flush();
        return manager;
    }

    // Lets time pass while the application is active, the timer ticking once a second.
    void runActive(double seconds) {
        for (; seconds >= 1; seconds -= 1) {
            time->advance(1);
            mainQueue->drain();
        }
        if (seconds > 0) {
            time->advance(seconds);
            mainQueue->drain();
        }
    }

    void post(Notification notification) {
        NotificationCenter::defaultCenter().post(notification);
        mainQueue->drain();
    }

    json::Value storedSessions(std::initializer_list<std::pair<double, int>> agesAndDurations) {
        json::Value list = json::Value::array();
        for (const auto& [age, duration] : agesAndDurations) {
            list.push_back({{"st", time->now().adding(-age).unixSeconds()}, {"dn", duration}});
        }
        return list;
    }

    std::vector<std::int64_t> durations() {
        std::vector<std::int64_t> out;
        for (const auto& session : manager->recentSessions()) {
            out.push_back(session.durationInSeconds);
        }
        return out;
    }

    std::optional<std::vector<SessionManager::StoredSession>> storedOnDisk() {
        const auto stored = suite()->value("recentSessions");
        return stored ? SessionManager::decodeSessions(*stored) : std::nullopt;
    }

    int offset = 0;
    std::shared_ptr<SessionManager> manager;
};

TEST_F(SessionManagerTests, FirstCreationRecordsOnlyToday) {
    create();
    EXPECT_EQ(suite()->stringList("distinctDaysUsed"), std::vector<std::string>{startDay});
    EXPECT_FALSE(suite()->value("deletedSessionsCount"));
    EXPECT_FALSE(suite()->value("recentSessions"));
    EXPECT_TRUE(manager->recentSessions().empty());
    EXPECT_EQ(manager->averageSessionSeconds(), -1);
    EXPECT_EQ(manager->firstSessionDate(), startDay);
    EXPECT_FALSE(suite()->value("firstSessionDate"));
}

TEST_F(SessionManagerTests, SessionsOlderThanNinetyDaysAreDroppedAndCounted) {
    suite()->set("recentSessions", storedSessions({{100 * day, 5}, {60 * day, 6}, {1 * day, 7}}));
    suite()->set("deletedSessionsCount", 3);
    create();
    EXPECT_EQ(durations(), (std::vector<std::int64_t>{6, 7}));
    EXPECT_EQ(suite()->integer("deletedSessionsCount"), 4);
    // The shortened list waits for the next recorded session.
    EXPECT_EQ(storedOnDisk()->size(), 3u);

    const auto figures = manager->retentionFigures();
    EXPECT_EQ(figures.totalSessionsCount, 6);
    EXPECT_EQ(figures.previousSessionSeconds, 6);
}

TEST_F(SessionManagerTests, UnreadableSessionsCountAsNoneAndStayStored) {
    json::Value broken = storedSessions({{1 * day, 5}});
    broken.push_back({{"st", time->now().unixSeconds()}});
    for (const json::Value& stored : {broken, json::Value("text"), json::Value::object()}) {
        suite()->set("recentSessions", stored);
        suite()->set("deletedSessionsCount", 3);
        log.clear();
        create();
        EXPECT_TRUE(manager->recentSessions().empty()) << stored;
        EXPECT_EQ(suite()->integer("deletedSessionsCount"), 3) << stored;
        EXPECT_EQ(suite()->value("recentSessions"), stored);
        EXPECT_EQ(log.count("Ignored unreadable recent sessions"), 1u) << stored;
    }
}

TEST_F(SessionManagerTests, DaysOfUseFollowTheLocalCalendar) {
    offset = -8 * 3600;  // 2026-05-08 22:13 local
    create();
    create();
    EXPECT_EQ(suite()->stringList("distinctDaysUsed"), std::vector<std::string>{"2026-05-08"});
    time->advance(2 * 3600);  // past local midnight
    create();
    time->advance(3 * day);
    create();
    EXPECT_EQ(suite()->stringList("distinctDaysUsed"),
              (std::vector<std::string>{"2026-05-08", "2026-05-09", "2026-05-12"}));
}

TEST_F(SessionManagerTests, OnlyWholeActiveSecondsAreRecorded) {
    struct Case {
        double active;
        std::vector<std::int64_t> recorded;
    };
    for (const Case& c : {Case{0.8, {}}, Case{2.5, {2}}, Case{61.9, {61}}}) {
        suite()->remove("recentSessions");
        create();
        manager->startNewSession();
        runActive(c.active);
        post(Notification::willResignActive);
        manager->flush();
        EXPECT_EQ(durations(), c.recorded) << c.active;
        EXPECT_EQ(storedOnDisk().value_or(std::vector<SessionManager::StoredSession>{}).size(),
                  c.recorded.size())
            << c.active;
    }
}

TEST_F(SessionManagerTests, InactiveTimeIsNotCounted) {
    create();
    manager->startNewSession();
    runActive(30);
    post(Notification::willResignActive);
    time->advance(600);
    mainQueue->drain();
    post(Notification::didBecomeActive);
    runActive(20);
    post(Notification::willResignActive);
    EXPECT_EQ(durations(), std::vector<std::int64_t>{50});
}

TEST_F(SessionManagerTests, NoTimeAccruesBeforeASessionStarts) {
    create();
    post(Notification::didBecomeActive);
    runActive(30);
    post(Notification::willResignActive);
    post(Notification::willTerminate);
    EXPECT_TRUE(manager->recentSessions().empty());
    EXPECT_FALSE(suite()->value("recentSessions"));
    EXPECT_EQ(time->pendingCount(), 0u);

    // The next run finds no session dated at the distant past to drop.
    create();
    EXPECT_EQ(suite()->integer("deletedSessionsCount").value_or(0), 0);
}

TEST_F(SessionManagerTests, WritesAreHeldBackAndMadeAtTermination) {
    create();
    manager->startNewSession();
    runActive(5);
    EXPECT_FALSE(suite()->value("recentSessions"));
    post(Notification::willTerminate);
    ASSERT_TRUE(storedOnDisk());
    EXPECT_EQ(storedOnDisk()->at(0).durationInSeconds, 5);
}

TEST_F(SessionManagerTests, WritesAreMadeAfterTheDelay) {
    create();
    manager->startNewSession();
    runActive(SessionManager::persistenceDelay + 0.5);
    EXPECT_FALSE(suite()->value("recentSessions"));
    // Fires the held-back write (due ten seconds after the first recorded second) before the
    // next tick can run.
    time->advance(0.5);
    manager->flush();
    ASSERT_TRUE(storedOnDisk());
    EXPECT_EQ(storedOnDisk()->at(0).durationInSeconds, 10);
}

TEST_F(SessionManagerTests, StartsAreStoredInWholeSeconds) {
    time->advance(0.7);
    const Date start = time->now();
    create();
    manager->startNewSession();
    runActive(3);
    manager->flush();
    const auto stored = suite()->value("recentSessions");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->at(0).at("st"), static_cast<std::int64_t>(std::floor(start.unixSeconds())));
    EXPECT_EQ(stored->at(0).at("dn"), 3);

    manager->flush();
    create();
    ASSERT_EQ(manager->recentSessions().size(), 1u);
    EXPECT_EQ(manager->recentSessions()[0].startedAt,
              Date::fromUnix(std::floor(start.unixSeconds())));
}

TEST_F(SessionManagerTests, AverageLeavesOutTheCurrentSession) {
    struct Case {
        std::vector<int> durations;
        std::int64_t average;
        std::optional<std::int64_t> previous;
    };
    for (const Case& c : {Case{{}, -1, std::nullopt}, Case{{7}, 7, std::nullopt},
                          Case{{10, 20, 99}, 15, 20}, Case{{1, 2}, 1, 1}}) {
        json::Value list = json::Value::array();
        for (int duration : c.durations) {
            list.push_back({{"st", time->now().unixSeconds()}, {"dn", duration}});
        }
        suite()->set("recentSessions", list);
        create();
        EXPECT_EQ(manager->averageSessionSeconds(), c.average) << list;
        EXPECT_EQ(manager->retentionFigures().previousSessionSeconds, c.previous) << list;
    }
}

TEST_F(SessionManagerTests, CountsDatesOnOrAfterTheCutoff) {
    const std::vector<std::string> days = {"2026-11-01", "2026-11-09", "2026-12-01"};
    EXPECT_EQ(SessionManager::countISODatesOnOrAfter(days, "2026-11-09"), 2);
    EXPECT_EQ(SessionManager::countISODatesOnOrAfter(days, "2026-12-02"), 0);
    EXPECT_EQ(SessionManager::countISODatesOnOrAfter(days, "2026-01-01"), 3);
    EXPECT_EQ(SessionManager::countISODatesOnOrAfter({}, "2026-11-09"), 0);
}

TEST_F(SessionManagerTests, ANewInstallationIsAnnouncedOnce) {
    create();
    manager->startNewSession();
    manager->flush();
    settle();
    EXPECT_EQ(suite()->string("firstSessionDate"), startDay);
    auto processed = installedManager()->processed();
    ASSERT_EQ(processed.size(), 1u);
    EXPECT_EQ(processed[0].name, "Tally.Acquisition.newInstallDetected");
    EXPECT_EQ(processed[0].parameters,
              (Parameters{{"Tally.Acquisition.firstSessionDate", startDay}}));

    runActive(2);
    manager->startNewSession();
    EXPECT_EQ(installedManager()->processed().size(), 1u);
}

}  // namespace
}  // namespace vorn::tally
