#include <future>
#include <set>

#include <gtest/gtest.h>

#include "ClientData.h"
#include "FileIO.h"
#include "LoopbackHttpServer.h"
#include "Signals/SignalCache.h"
#include "Signals/SignalManager.h"
#include "System/Dispatch.h"
#include "System/NotificationCenter.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

using vorn::test::LoopbackHttpServer;

// The whole client against a loopback service: real records, real requests, virtual time.
class SignalDeliveryTests : public test::TallyTest {
protected:
    void SetUp() override {
        TallyTest::SetUp();
        TallyManager::setSignalManagerFactory(nullptr);
        session = std::make_shared<host::CurlHttpSession>();
    }

    void TearDown() override {
        TallyTest::TearDown();
        session.reset();
    }

    std::shared_ptr<TallyConfiguration> start(const std::string& baseURL,
                                              std::optional<std::string> apiNamespace = {}) {
        auto configuration = std::make_shared<TallyConfiguration>("APP-ID", std::nullopt, baseURL,
                                                                  std::move(apiNamespace));
        configuration->setLogHandler(log.handler());
        configuration->setSessionStatsEnabled(false);
        configuration->setSendNewSessionBeganSignal(false);
        configuration->setUrlSession(session);
        configuration->setMaxBackoffInterval(40);
        Tally::initialize(configuration);
        // Waits for the first attempt (with whatever a previous run left) to arm the timer, then
        // lets the session start pass: the next attempt is due in 9.5 seconds.
        system::waitForGlobalUtilityQueue();
        (void)engine()->sendCompletions();
        time->advance(TallyManager::sessionStartDelay);
        settle();
        return configuration;
    }

    std::shared_ptr<SignalManager> engine() const {
        return std::dynamic_pointer_cast<SignalManager>(TallyManager::shared()->signalManager());
    }

    void sendSignals(int count) {
        for (int i = 0; i < count; ++i) {
            Tally::signal("Event", {{"index", std::to_string(i)}});
        }
        settle();
    }

    // Lets the pending timer fire and waits until the attempt it started has re-armed it.
    double runAttempt() {
        const double delay = time->nextDelay().value_or(0);
        time->advance(delay);
        EXPECT_TRUE(time->waitForPending(1));
        return delay;
    }

    static std::vector<SignalPostBody> records(const LoopbackHttpServer::Request& request) {
        const auto decoded = JSONDecoder{DateCoding::timestamp}.decodeArray(request.body);
        if (!decoded || decoded->rejected > 0) {
            ADD_FAILURE() << "unreadable body " << request.body;
            return {};
        }
        return decoded->records;
    }

    static std::vector<std::string> indices(const LoopbackHttpServer::Request& request) {
        std::vector<std::string> out;
        for (const auto& record : records(request)) {
            out.push_back(record.payload.at("index"));
        }
        return out;
    }

    std::shared_ptr<host::CurlHttpSession> session;
};

TEST_F(SignalDeliveryTests, SignalsArriveInBatchesOfAHundred) {
    for (const std::optional<std::string>& apiNamespace :
         {std::optional<std::string>(), std::optional<std::string>("team")}) {
        LoopbackHttpServer server;
        start(server.url("/"), apiNamespace);
        sendSignals(150);
        runAttempt();
        runAttempt();
        ASSERT_TRUE(server.waitForRequests(2));
        runAttempt();
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 2u);

        const std::string path = apiNamespace ? "/v2/namespace/team/" : "/v2/";
        std::vector<std::string> expected;
        for (int i = 0; i < 150; ++i) {
            expected.push_back(std::to_string(i));
        }
        std::vector<std::string> received;
        for (const auto& request : requests) {
            EXPECT_EQ(request.method, "POST");
            EXPECT_EQ(request.path, path);
            EXPECT_EQ(request.headers.at("content-type"), "application/json");
            const auto batch = indices(request);
            received.insert(received.end(), batch.begin(), batch.end());
        }
        EXPECT_EQ(records(requests[0]).size(), 100u);
        EXPECT_EQ(records(requests[1]).size(), 50u);
        // Records are built side by side, so only the set is fixed, not the order.
        std::sort(received.begin(), received.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(received, expected);

        const auto object = json::parse(requests[1].body)->at(0);
        std::set<std::string> keys;
        for (const auto& [key, value] : object.items()) {
            keys.insert(key);
        }
        EXPECT_EQ(keys, (std::set<std::string>{"receivedAt", "appID", "clientUser", "sessionID",
                                               "type", "payload", "isTestMode"}));
        EXPECT_EQ(object.at("appID"), "APP-ID");
        EXPECT_EQ(object.at("type"), "Event");
        EXPECT_EQ(object.at("isTestMode"), "false");
        EXPECT_EQ(object.at("payload").at("platform"), "Linux");
        Tally::terminate();
        settle();
    }
}

TEST_F(SignalDeliveryTests, FailedAttemptsComeAgainWithGrowingGaps) {
    struct Case {
        std::string name;
        int status;  // 0: the port refuses connections
    };
    for (const Case& c : {Case{"500", 500}, Case{"429", 429}, Case{"refused", 0}}) {
        LoopbackHttpServer server;
        server.replyWith(c.status);
        const std::string base =
            c.status == 0
                ? "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::refusingPort()) + "/"
                : server.url("/");
        start(base);
        sendSignals(3);
        std::vector<double> gaps;
        for (int i = 0; i < 5; ++i) {
            gaps.push_back(runAttempt());
        }
        EXPECT_EQ(gaps, (std::vector<double>{9.5, 20, 40, 40, 40})) << c.name;
        EXPECT_EQ(engine()->cachedSignalCount(), 3u) << c.name;
        if (c.status != 0) {
            const auto requests = server.requests();
            ASSERT_EQ(requests.size(), 5u) << c.name;
            for (const auto& request : requests) {
                EXPECT_EQ(records(request), records(requests[0])) << c.name;
            }
        }
        // The next case starts without these.
        ClientData::terminateAndErase();
        settle();
    }
}

TEST_F(SignalDeliveryTests, TooLargeBatchesAreDroppedForGood) {
    LoopbackHttpServer server;
    server.replyWith(413);
    start(server.url("/"));
    sendSignals(3);
    runAttempt();
    EXPECT_EQ(*time->nextDelay(), 10);
    runAttempt();
    runAttempt();
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(engine()->cachedSignalCount(), 0u);
    EXPECT_EQ(log.count("Dropping 3 signal(s): rejected by server Payload Too Large (413)"), 1u);
}

TEST_F(SignalDeliveryTests, ABatchInFlightAtQuitArrivesWithTheNextClient) {
    LoopbackHttpServer slow;
    std::promise<void> release;
    auto released = release.get_future().share();
    slow.setResponder([released](const LoopbackHttpServer::Request&) {
        released.wait();
        return LoopbackHttpServer::Reply{};
    });
    start(slow.url("/"));
    sendSignals(4);
    // On disk before any attempt or quit, so that an abrupt end loses nothing.
    ASSERT_TRUE(engine()->waitUntilCacheWritten(std::chrono::seconds(10)));
    const auto file = SignalCache::defaultFileURL();
    ASSERT_TRUE(file);
    EXPECT_EQ(JSONDecoder{}.decodeArray(*fileio::readFile(*file))->records.size(), 4u);

    time->advance(*time->nextDelay());
    ASSERT_TRUE(slow.waitForRequests(1));
    system::NotificationCenter::defaultCenter().post(system::Notification::willTerminate);
    Tally::terminate();
    settle();

    LoopbackHttpServer server;
    start(server.url("/"));
    ASSERT_TRUE(server.waitForRequests(1));
    auto received = indices(server.requests()[0]);
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, (std::vector<std::string>{"0", "1", "2", "3"}));
    release.set_value();
}

TEST_F(SignalDeliveryTests, RetryAfterHoldsBackEveryAttempt) {
    struct Case {
        int status;
        std::string retryAfter;
        // Seconds from the answer to the next attempt.
        double wait;
    };
    const Case cases[] = {
        {429, "60", 60},
        {503, "60", 60},
        // Two minutes after the virtual start; the answer comes 10 s after it.
        {429, "Sat, 09 May 2026 06:15:20 GMT", 110},
        {429, "1000", 300},  // bounded by the maximum back-off
        {500, "60", 20},     // only 429 and 503 ask for a pause
    };
    for (const auto& c : cases) {
        LoopbackHttpServer server;
        server.setResponder([&c](const LoopbackHttpServer::Request&) {
            return LoopbackHttpServer::Reply{c.status, {}, {{"Retry-After", c.retryAfter}}};
        });
        time = std::make_shared<test::VirtualTimeSource>();
        system::setTimeSource(time);
        auto configuration = start(server.url("/"));
        configuration->setMaxBackoffInterval(300);
        sendSignals(2);
        runAttempt();
        ASSERT_EQ(server.requests().size(), 1u) << c.retryAfter;
        const double wait = *time->nextDelay();
        EXPECT_NEAR(wait, c.wait, 1e-6) << c.retryAfter;

        // An extra attempt within the pause sends nothing.
        time->advance(wait - 1);
        if (c.status != 500) {
            engine()->attemptToSendNextBatchOfCachedSignals();
            settle();
        }
        EXPECT_EQ(server.requests().size(), 1u) << c.retryAfter;
        time->advance(1);
        EXPECT_TRUE(server.waitForRequests(2)) << c.retryAfter;
        ClientData::terminateAndErase();
        settle();
    }
}

TEST_F(SignalDeliveryTests, ARedirectToAnotherPortIsRefusedAndRetried) {
    LoopbackHttpServer elsewhere;
    LoopbackHttpServer server;
    server.setResponder([&](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Reply{307, {}, {{"Location", elsewhere.url("/v2/")}}};
    });
    start(server.url("/"));
    sendSignals(2);
    EXPECT_EQ(runAttempt(), 9.5);
    EXPECT_EQ(runAttempt(), 20);
    EXPECT_EQ(*time->nextDelay(), 40);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_TRUE(elsewhere.requests().empty());
    EXPECT_EQ(engine()->cachedSignalCount(), 2u);
    EXPECT_EQ(log.count("Redirect refused (status 307)"), 2u);
}

}  // namespace
}  // namespace vorn::tally
