#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "Helpers/CryptoHashing.h"
#include "ScriptedHttpSession.h"
#include "Signals/DefaultPayloadProvider.h"
#include "Signals/SignalManager.h"
#include "System/Dispatch.h"
#include "System/NotificationCenter.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

using Kind = ResponseDisposition::Kind;

class UppercaseEnricher final : public SignalEnricher {
public:
    Parameters enrich(const std::string& signalType,
                      const std::optional<std::string>& clientUser,
                      std::optional<double> floatValue) override {
        return {{"enriched", signalType + "/" + clientUser.value_or("none") + "/"
                                 + (floatValue ? "number" : "none")},
                {"shared", "enricher"},
                {"platform", "enricher"}};
    }
};

class SignalManagerTests : public test::TallyTest {
protected:
    void SetUp() override {
        TallyTest::SetUp();
        // The client that owns the settings suite; its own engine only records. Its session
        // start is let pass, so that the engine under test owns the only timer.
        auto owner = makeConfiguration();
        owner->setSessionStatsEnabled(false);
        owner->setSendNewSessionBeganSignal(false);
        Tally::initialize(owner);
        time->advance(TallyManager::sessionStartDelay);
        mainQueue->drain();
        setDefaultPayloadProvider([] {
            return Parameters{{"platform", "Linux"}, {"shared", "default"}};
        });
        session = std::make_shared<test::ScriptedHttpSession>();
        configuration = makeConfiguration();
        configuration->setUrlSession(session);
    }

    void TearDown() override {
        manager.reset();
        TallyTest::TearDown();
    }

    std::shared_ptr<SignalManager> create() {
        manager = SignalManager::create(configuration);
        // Creation arms the timer, and so does the first attempt, which runs on the utility
        // queue; reading a counter after that waits for both.
        system::waitForGlobalUtilityQueue();
        (void)manager->sendCompletions();
        return manager;
    }

    // Lets the pending timer fire and waits until the attempt it started has re-armed it.
    // Returns the delay that had been pending.
    double runAttempt() {
        const double delay = time->nextDelay().value_or(0);
        time->advance(delay);
        // Each step waits for the work the previous one queued.
        (void)manager->sendCompletions();
        system::waitForGlobalUtilityQueue();
        mainQueue->drain();
        EXPECT_TRUE(time->waitForPending(1));
        return delay;
    }

    void addRecords(int count, const std::string& type = "event") {
        std::vector<SignalPostBody> records;
        for (int i = 0; i < count; ++i) {
            SignalPostBody record;
            record.receivedAt = time->now();
            record.appID = "app";
            record.clientUser = "user";
            record.sessionID = "S";
            record.type = type;
            record.payload = {{"index", std::to_string(i)}};
            record.isTestMode = "false";
            records.push_back(record);
        }
        manager->adoptPendingSignals(records);
    }

    std::vector<SignalPostBody> sentRecords(std::size_t request) {
        const auto requests = session->requests();
        if (request >= requests.size()) {
            ADD_FAILURE() << "no request " << request;
            return {};
        }
        const auto decoded = JSONDecoder{DateCoding::timestamp}.decodeArray(requests[request].body);
        if (!decoded || decoded->rejected > 0) {
            ADD_FAILURE() << "unreadable body " << requests[request].body;
            return {};
        }
        return decoded->records;
    }

    std::shared_ptr<test::ScriptedHttpSession> session;
    std::shared_ptr<TallyConfiguration> configuration;
    std::shared_ptr<SignalManager> manager;
};

TEST(SignalManagerAddressTests, ServiceAddresses) {
    struct Case {
        std::string base;
        std::optional<std::string> apiNamespace;
        std::optional<std::string> address;
    };
    const Case cases[] = {
        {"https://tally.invalid/", std::nullopt, "https://tally.invalid/v2/"},
        {"https://tally.invalid", std::nullopt, "https://tally.invalid/v2/"},
        {"https://tally.invalid/base", "", "https://tally.invalid/base/v2/"},
        {"https://tally.invalid/", "team", "https://tally.invalid/v2/namespace/team/"},
        {"https://tally.invalid/", "my team", std::nullopt},
        {"not an address", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SignalManager::getServiceUrl(c.base, c.apiNamespace), c.address) << c.base;
    }
}

TEST(SignalManagerAddressTests, Dispositions) {
    struct Case {
        std::optional<long> status;
        Kind kind;
        std::string reason;
    };
    const Case cases[] = {
        {200, Kind::success, ""},
        {204, Kind::success, ""},
        {299, Kind::success, ""},
        {400, Kind::drop, "Bad Request (400)"},
        {401, Kind::drop, "Unauthorized (401)"},
        {403, Kind::drop, "Forbidden (403)"},
        {404, Kind::drop, "Not Found (404)"},
        {413, Kind::drop, "Payload Too Large (413)"},
        {422, Kind::drop, "Unprocessable Entity (422)"},
        {501, Kind::drop, "Not Implemented (501)"},
        {505, Kind::drop, "HTTP Version Not Supported (505)"},
        {300, Kind::retry, ""},
        {408, Kind::retry, ""},
        {429, Kind::retry, ""},
        {500, Kind::retry, ""},
        {503, Kind::retry, ""},
        {std::nullopt, Kind::retry, ""},
    };
    for (const auto& c : cases) {
        std::optional<host::HttpResponse> response;
        if (c.status) {
            response = host::HttpResponse{*c.status, {}, {}};
        }
        const auto disposition = ResponseDisposition::of(response);
        EXPECT_EQ(disposition.kind, c.kind) << c.status.value_or(-1);
        EXPECT_EQ(disposition.reason, c.reason) << c.status.value_or(-1);
    }
}

TEST_F(SignalManagerTests, RecordsLayerTheCallerOverEnrichersOverTheDefaults) {
    configuration->setMetadataEnrichers({std::make_shared<UppercaseEnricher>()});
    configuration->setTestMode(true);
    create();
    manager->processSignal("Opened", {{"platform", "caller"}, {"own", "1"}}, 2.5, std::nullopt,
                           configuration);
    time->advance(0.25);
    manager->processSignal("Closed", {}, std::nullopt, "custom", configuration);
    settle();
    runAttempt();

    // Records are built side by side, so they may reach the cache in either order.
    auto records = sentRecords(0);
    ASSERT_EQ(records.size(), 2u);
    if (records[0].type != "Opened") {
        std::swap(records[0], records[1]);
    }
    const std::string user = manager->defaultUserIdentifier();
    EXPECT_EQ(records[0].type, "Opened");
    EXPECT_EQ(records[0].payload, (Parameters{{"platform", "caller"},
                                              {"own", "1"},
                                              {"shared", "enricher"},
                                              {"enriched", "Opened/none/number"}}));
    EXPECT_EQ(records[0].floatValue, 2.5);
    EXPECT_EQ(records[0].clientUser, CryptoHashing::sha256(user, ""));
    EXPECT_EQ(records[0].sessionID, configuration->sessionID().string());
    EXPECT_EQ(records[0].appID, "test-app");
    EXPECT_EQ(records[0].isTestMode, "true");
    // Whole seconds on the wire; the date is the moment the record was built.
    EXPECT_EQ(records[0].receivedAt.unixSeconds(), std::floor(records[0].receivedAt.unixSeconds()));
    EXPECT_EQ(records[1].payload.at("platform"), "enricher");
    EXPECT_EQ(records[1].payload.at("enriched"), "Closed/custom/none");
    EXPECT_EQ(records[1].clientUser, CryptoHashing::sha256("custom", ""));
    EXPECT_FALSE(records[1].floatValue);

    const auto request = session->requests().at(0);
    EXPECT_EQ(request.url, std::string(TallyConfiguration::defaultBaseURL) + "v2/");
    EXPECT_EQ(
        request.headers,
        (std::vector<std::pair<std::string, std::string>>{{"Content-Type", "application/json"}}));
}

TEST_F(SignalManagerTests, TheDefaultUserIsKeptInTheSettings) {
    create();
    const std::string first = manager->defaultUserIdentifier();
    EXPECT_EQ(Uuid::parse(first).value_or(Uuid()).string(), first);
    EXPECT_EQ(manager->defaultUserIdentifier(), first);
    EXPECT_EQ(Tally::customDefaults()->string("defaultUserIdentifier"), first);
    configuration->setDefaultUser("chosen");
    EXPECT_EQ(manager->defaultUserIdentifier(), "chosen");
}

TEST_F(SignalManagerTests, FailuresBackOffUpToTheMaximumAndASuccessResetsIt) {
    create();
    addRecords(3);
    session->answerWith(500);
    std::vector<double> delays;
    for (int i = 0; i < 7; ++i) {
        delays.push_back(runAttempt());
    }
    EXPECT_EQ(delays, (std::vector<double>{10, 20, 40, 80, 160, 300, 300}));
    EXPECT_EQ(*time->nextDelay(), 300);
    EXPECT_EQ(manager->consecutiveFailures(), 7);
    // The same records every time.
    for (std::size_t i = 1; i < 7; ++i) {
        EXPECT_EQ(sentRecords(i), sentRecords(0));
    }
    session->answerWith(200);
    runAttempt();
    EXPECT_EQ(*time->nextDelay(), 10);
    EXPECT_EQ(manager->cachedSignalCount(), 0u);
    EXPECT_EQ(manager->sendCompletions(), 9);
}

TEST_F(SignalManagerTests, AnswersThatKeepTheBatch) {
    struct Case {
        test::ScriptedHttpSession::Answer answer;
        std::string message;
    };
    const Case cases[] = {
        {{host::HttpResponse{500, {}, {}}, std::nullopt},
         "Failed to send events (status 500), will try again later"},
        {{host::HttpResponse{429, {}, {}}, std::nullopt},
         "Failed to send events (status 429), will try again later"},
        {{std::nullopt, std::nullopt}, "Failed to send events (status 0), will try again later"},
        {{std::nullopt, std::string("Couldn't connect to server")}, "Couldn't connect to server"},
    };
    create();
    for (const auto& c : cases) {
        addRecords(2);
        session->setScript([answer = c.answer](const host::HttpRequest&) { return answer; });
        log.clear();
        runAttempt();
        EXPECT_EQ(manager->cachedSignalCount(), 2u) << c.message;
        EXPECT_EQ(log.count(c.message), 1u) << c.message;
        session->answerWith(200);
        runAttempt();
        EXPECT_EQ(manager->cachedSignalCount(), 0u) << c.message;
    }
}

TEST_F(SignalManagerTests, RejectedBatchesAreDroppedForGood) {
    create();
    addRecords(150);
    session->answerWith(413);
    runAttempt();
    EXPECT_EQ(log.count("Dropping 100 signal(s): rejected by server Payload Too Large (413)"), 1u);
    EXPECT_EQ(manager->cachedSignalCount(), 50u);
    EXPECT_EQ(*time->nextDelay(), 10);
    session->answerWith(200);
    runAttempt();
    EXPECT_EQ(sentRecords(1).size(), 50u);
    EXPECT_EQ(sentRecords(1).front().payload.at("index"), "100");
    runAttempt();
    EXPECT_EQ(session->requests().size(), 2u);
}

TEST_F(SignalManagerTests, AnUnusableNumberNeverBlocksItsBatch) {
    create();
    addRecords(2);
    SignalPostBody odd;
    odd.type = "odd";
    odd.appID = odd.clientUser = odd.sessionID = "x";
    odd.isTestMode = "false";
    odd.receivedAt = time->now();
    odd.floatValue = std::numeric_limits<double>::quiet_NaN();
    SignalPostBody undatable = odd;
    undatable.type = "undatable";
    undatable.floatValue = 1;
    undatable.receivedAt = Date(1e300);
    manager->adoptPendingSignals({odd, undatable});
    runAttempt();
    const auto records = sentRecords(0);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2].type, "odd");
    EXPECT_FALSE(records[2].floatValue);
    EXPECT_EQ(session->requests()[0].body.find("floatValue"), std::string::npos);
    EXPECT_EQ(log.count("Dropping unencodable signal type=undatable"), 1u);
    EXPECT_EQ(manager->cachedSignalCount(), 0u);
}

TEST_F(SignalManagerTests, AnUnusableAddressRetriesWithBackOff) {
    configuration = std::make_shared<TallyConfiguration>("app", std::nullopt,
                                                         "https://tally.invalid/", "my team");
    configuration->setLogHandler(log.handler());
    configuration->setUrlSession(session);
    create();
    addRecords(1);
    EXPECT_EQ(runAttempt(), 10);
    EXPECT_EQ(runAttempt(), 20);
    EXPECT_EQ(*time->nextDelay(), 40);
    EXPECT_EQ(log.count("Unable to construct signal API URL for namespace my team"), 2u);
    EXPECT_EQ(log.count("Invalid endpoint URL"), 2u);
    EXPECT_EQ(manager->cachedSignalCount(), 1u);
    EXPECT_TRUE(session->requests().empty());
}

TEST_F(SignalManagerTests, AHandedOverManagerPassesEverythingOnAndFallsSilent) {
    create();
    auto predecessor = manager;
    addRecords(3, "before");

    auto successorConfiguration = makeConfiguration();
    auto successorSession = std::make_shared<test::ScriptedHttpSession>();
    successorSession->answerWith(500);
    successorConfiguration->setUrlSession(successorSession);
    manager = SignalManager::create(successorConfiguration);
    predecessor->handOver(manager);
    EXPECT_EQ(predecessor->cachedSignalCount(), 0u);

    predecessor->processSignal("after", {}, std::nullopt, std::nullopt, configuration);
    settle();

    // Whether the successor's first attempt still has the three in flight or not, they are
    // written with the fourth.
    system::NotificationCenter::defaultCenter().post(system::Notification::willTerminate);
    EXPECT_EQ(log.count("appWillTerminate()"), 1u);
    const auto file = SignalCache::defaultFileURL();
    ASSERT_TRUE(file);
    const auto written = JSONDecoder{}.decodeArray(fileio::readFile(*file).value_or(""));
    ASSERT_TRUE(written);
    std::vector<std::string> types;
    for (const auto& record : written->records) {
        types.push_back(record.type);
    }
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::string>{"after", "before", "before", "before"}));

    predecessor->attemptToSendNextBatchOfCachedSignals();
    time->advance(600);
    system::waitForGlobalUtilityQueue();
    EXPECT_TRUE(session->requests().empty());
}

}  // namespace
}  // namespace vorn::tally
