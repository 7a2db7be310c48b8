#include <cmath>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "Helpers/CryptoHashing.h"
#include "Signals/SignalCache.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

const std::string reservedSignalPrefix =
    "Sending signal with reserved prefix 'Tally.' will cause unexpected behavior. Please use "
    "another prefix instead.";
const std::string reservedKeyPrefix =
    "Sending parameter with reserved key prefix 'Tally.' will cause unexpected behavior. Please "
    "use another prefix instead.";

std::string reservedName(const std::string& name) {
    return "Sending signal with reserved name '" + name
           + "' will cause unexpected behavior. Please use another name instead.";
}

std::string reservedKey(const std::string& key) {
    return "Sending parameter with reserved key '" + key
           + "' will cause unexpected behavior. Please use another key instead.";
}

class TallyFacadeTests : public test::TallyTest {
protected:
    std::shared_ptr<TallyConfiguration> initialize() {
        auto configuration = makeConfiguration();
        Tally::initialize(configuration);
        return configuration;
    }
};

TEST_F(TallyFacadeTests, SignalPrefixAppliesOnlyToThePublicEntry) {
    auto configuration = initialize();
    configuration->setDefaultSignalPrefix("App.");
    Tally::signal("Opened");
    Tally::internalSignal("Opened");
    EXPECT_EQ(installedManager()->names(), (std::vector<std::string>{"App.Opened", "Opened"}));
}

TEST_F(TallyFacadeTests, ParameterPrefixSparesOnlyTheExactReservedPrefix) {
    auto configuration = initialize();
    configuration->setDefaultParameterPrefix("p.");
    configuration->setDefaultParameters([] { return Parameters{{"d", "1"}, {"Tally.D", "2"}}; });
    Tally::signal("s", {{"Tally.Kept", "a"}, {"tally.lower", "b"}, {"key", "c"}});
    Tally::internalSignal("s", {{"raw", "d"}});
    const auto processed = installedManager()->processed();
    ASSERT_EQ(processed.size(), 2u);
    EXPECT_EQ(processed[0].parameters, (Parameters{{"Tally.Kept", "a"},
                                                   {"p.tally.lower", "b"},
                                                   {"p.key", "c"},
                                                   {"p.d", "1"},
                                                   {"Tally.D", "2"}}));
    // The internal entry prefixes only the defaults.
    EXPECT_EQ(processed[1].parameters, (Parameters{{"raw", "d"}, {"p.d", "1"}, {"Tally.D", "2"}}));
}

TEST_F(TallyFacadeTests, CallersParametersWinOverDefaults) {
    auto configuration = initialize();
    configuration->setReservedParameterWarningsEnabled(false);
    configuration->setDefaultParameters([] { return Parameters{{"platform", "default"}}; });
    Tally::signal("s", {{"platform", "caller"}});
    EXPECT_EQ(installedManager()->processed().at(0).parameters.at("platform"), "caller");
}

TEST_F(TallyFacadeTests, ReservedNamesAndKeysAreReportedButSent) {
    struct Case {
        std::string name;
        Parameters parameters;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"type", {}, {reservedName("type")}},
        {"TyPe", {}, {reservedName("TyPe")}},
        {"Tally.Mine", {}, {reservedSignalPrefix}},
        {"tally.mine", {}, {reservedSignalPrefix}},
        {"ok", {{"Tally.Signal.durationInSeconds", "3"}}, {reservedKeyPrefix}},
        {"ok", {{"APPVERSION", "1"}}, {reservedKey("APPVERSION")}},
        {"ok",
         {{"appVersion", "1"}, {"locale", "x"}, {"fine", "y"}},
         {reservedKey("appVersion"), reservedKey("locale")}},
        {"ok", {{"typed", "1"}}, {}},
    };
    auto configuration = initialize();
    for (const auto& c : cases) {
        log.clear();
        Tally::signal(c.name, c.parameters);
        EXPECT_EQ(log.messages(), c.messages) << c.name;
        EXPECT_EQ(installedManager()->processed().back().parameters, c.parameters) << c.name;
        for (const auto& line : log.lines()) {
            EXPECT_EQ(line.level, LogHandler::LogLevel::error);
        }
    }
    EXPECT_EQ(installedManager()->processed().size(), cases.size());
}

TEST_F(TallyFacadeTests, DefaultParametersAreCheckedEvenWithWarningsOff) {
    auto configuration = initialize();
    configuration->setReservedParameterWarningsEnabled(false);
    configuration->setDefaultParameters([] { return Parameters{{"platform", "linux"}}; });
    Tally::signal("type", {{"locale", "x"}});
    Tally::signal("Tally.x");
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{reservedKey("platform"), reservedKey("platform")}));
}

TEST_F(TallyFacadeTests, DisabledAndPreviewClientsDropSilently) {
    auto configuration = initialize();
    configuration->setAnalyticsDisabled(true);
    Tally::signal("type");
    Tally::internalSignal("x");
    configuration->setAnalyticsDisabled(false);
    configuration->setPreviewMode(true);
    Tally::signal("type");
    Tally::internalSignal("x");
    EXPECT_TRUE(installedManager()->processed().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(TallyFacadeTests, NonFiniteFloatValuesCountAsAbsent) {
    initialize();
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), 2.5};
    for (double value : values) {
        Tally::signal("s", {}, value, "user");
    }
    const auto processed = installedManager()->processed();
    ASSERT_EQ(processed.size(), 4u);
    EXPECT_FALSE(processed[0].floatValue);
    EXPECT_FALSE(processed[1].floatValue);
    EXPECT_FALSE(processed[2].floatValue);
    EXPECT_EQ(processed[3].floatValue, 2.5);
    EXPECT_EQ(processed[3].customUserID, "user");
}

TEST_F(TallyFacadeTests, CustomDefaultsAreNamedByTheApplicationIdentifier) {
    EXPECT_FALSE(Tally::customDefaults());
    Tally::initialize(makeConfiguration("com.example.vorn"));
    const auto suite = Tally::customDefaults();
    ASSERT_TRUE(suite);
    const std::string hash = CryptoHashing::sha256("com.example.vorn", "");
    EXPECT_EQ(suite->name(), "dev.tally." + hash.substr(52));
    EXPECT_EQ(Tally::customDefaults()->name(), suite->name());
    Tally::terminate();
    EXPECT_FALSE(Tally::customDefaults());
}

TEST_F(TallyFacadeTests, SignalsBeforeInitialisingTouchNoCacheFile) {
    // Had the stand-in used the factory, this cache would take over and delete the file.
    TallyManager::setSignalManagerFactory([](const std::shared_ptr<TallyConfiguration>&) {
        SignalCache cache(std::nullopt, 10000);
        return std::make_shared<test::RecordingSignalManager>();
    });
    const auto file = *SignalCache::defaultFileURL();
    std::filesystem::create_directories(file.parent_path());
    vorn::test::writeText(file, "[]");
    Tally::signal("early");
    Tally::requestImmediateSync();
    Tally::updateDefaultUserID("someone");
    Tally::generateNewSession();
    time->advance(1.0);
    settle();
    EXPECT_FALSE(TallyManager::isInitialized());
    EXPECT_EQ(vorn::test::readText(file), "[]");
}

TEST_F(TallyFacadeTests, TheStandInIsOneManagerThatIsNeverInstalled) {
    const auto first = TallyManager::shared();
    EXPECT_EQ(TallyManager::shared(), first);
    EXPECT_FALSE(TallyManager::isInitialized());
    EXPECT_TRUE(managers.managers().empty());
    // No session start is pending for it.
    EXPECT_EQ(time->pendingCount(), 0u);
}

TEST_F(TallyFacadeTests, ImmediateSyncIsThrottledByTheTransmitInterval) {
    initialize();
    const auto manager = installedManager();
    time->advance(1.0);
    settle();

    Tally::requestImmediateSync();
    settle();
    EXPECT_EQ(manager->attempts(), 0);  // not before 50 milliseconds
    time->advance(0.05);
    settle();
    EXPECT_EQ(manager->attempts(), 1);

    time->advance(2.95);
    Tally::requestImmediateSync();
    time->advance(0.05);
    settle();
    EXPECT_EQ(manager->attempts(), 1);

    time->advance(7.95);  // 11 seconds after the first request
    Tally::requestImmediateSync();
    time->advance(0.05);
    settle();
    EXPECT_EQ(manager->attempts(), 2);
}

TEST_F(TallyFacadeTests, ConcurrentSyncRequestsStartOneAttempt) {
    initialize();
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([] { Tally::requestImmediateSync(); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    time->advance(0.05);
    settle();
    EXPECT_EQ(installedManager()->attempts(), 1);
}

TEST_F(TallyFacadeTests, SessionStartsHalfASecondAfterInitialising) {
    auto configuration = initialize();
    const Uuid initial = configuration->sessionID();
    time->advance(0.49);
    settle();
    EXPECT_EQ(configuration->sessionID(), initial);
    time->advance(0.01);
    settle();
    EXPECT_NE(configuration->sessionID(), initial);
    EXPECT_EQ(installedManager()->names(),
              (std::vector<std::string>{"Tally.Acquisition.newInstallDetected",
                                        "Tally.Session.started"}));
}

TEST_F(TallyFacadeTests, AReplacedManagerStartsNoSession) {
    initialize();
    const auto first = installedManager();
    time->advance(0.2);
    auto second = initialize();
    time->advance(1.0);
    settle();
    EXPECT_TRUE(first->processed().empty());
    EXPECT_EQ(installedManager()->names(),
              (std::vector<std::string>{"Tally.Acquisition.newInstallDetected",
                                        "Tally.Session.started"}));
}

TEST_F(TallyFacadeTests, ReinitialisingMovesPendingRecordsToTheNewManager) {
    initialize();
    const auto first = installedManager();
    SignalPostBody pending;
    pending.type = "pending";
    first->adoptPendingSignals({pending});

    initialize();
    const auto second = installedManager();
    ASSERT_NE(first, second);
    EXPECT_TRUE(first->wasHandedOver());
    EXPECT_TRUE(first->pending().empty());
    ASSERT_EQ(second->pending().size(), 1u);
    EXPECT_EQ(second->pending()[0].type, "pending");
}

TEST_F(TallyFacadeTests, ForegroundAfterLongBackgroundRenewsTheSession) {
    auto configuration = initialize();
    const auto manager = TallyManager::shared();
    // The first return from the background always renews.
    Uuid before = configuration->sessionID();
    manager->willEnterForeground();
    EXPECT_NE(configuration->sessionID(), before);

    manager->didEnterBackground();
    time->advance(299);
    before = configuration->sessionID();
    manager->willEnterForeground();
    EXPECT_EQ(configuration->sessionID(), before);

    manager->didEnterBackground();
    time->advance(301);
    manager->willEnterForeground();
    EXPECT_NE(configuration->sessionID(), before);
}

TEST_F(TallyFacadeTests, DefaultUserIsSetOnTheInstalledConfigurationAndHashed) {
    auto configuration = std::make_shared<TallyConfiguration>("APP", "salt");
    Tally::initialize(configuration);
    Tally::updateDefaultUserID("alice");
    EXPECT_EQ(configuration->defaultUser(), "alice");
    TallyManager::updateDefaultUser(std::nullopt);
    EXPECT_FALSE(configuration->defaultUser());
    EXPECT_EQ(TallyManager::shared()->hashedDefaultUser(),
              CryptoHashing::sha256("recorded-user", "salt"));
}

TEST_F(TallyFacadeTests, ManagerSendFormsReachTheSignalEntry) {
    auto configuration = initialize();
    configuration->setDefaultSignalPrefix("App.");
    TallyManager::send("a", {{"k", "v"}});
    TallyManager::send("b", "bob", 1.5, {});
    const auto processed = installedManager()->processed();
    ASSERT_EQ(processed.size(), 2u);
    EXPECT_EQ(processed[0].name, "App.a");
    EXPECT_EQ(processed[1].customUserID, "bob");
    EXPECT_EQ(processed[1].floatValue, 1.5);
}

TEST_F(TallyFacadeTests, SignalsWhileReinitialisingEachReachOneManager) {
    initialize();
    constexpr int senders = 4;
    constexpr int perSender = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < senders; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < perSender; ++i) {
                Tally::signal("s", {{"i", std::to_string(i)}});
            }
        });
    }
    for (int i = 0; i < 10; ++i) {
        initialize();
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::size_t total = 0;
    for (const auto& manager : managers.managers()) {
        total += manager->processed().size();
    }
    EXPECT_EQ(total, static_cast<std::size_t>(senders * perSender));
}

}  // namespace
}  // namespace vorn::tally
