#include <gtest/gtest.h>

#include "InMemoryTransactionUpdates.h"
#include "Purchases/TrialConversionTracker.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

using StoredTrial = TrialConversionTracker::StoredTrial;

constexpr const char* converted = "Tally.Purchase.convertedFromTrial";

// The store's side: a monthly subscription, first bought as a free trial.
StoreTransaction monthly(std::uint64_t originalID = 42) {
    StoreTransaction transaction;
    transaction.productID = "pro.monthly";
    transaction.originalID = originalID;
    transaction.productType = ProductType::autoRenewable;
    transaction.subscriptionGroupID = "pro";
    transaction.storefrontCountryCode = "DEU";
    transaction.currencyCode = "EUR";
    return transaction;
}

StoreTransaction trialStart(std::uint64_t originalID = 42) {
    auto transaction = monthly(originalID);
    transaction.offer = TransactionOffer{OfferType::introductory, OfferPaymentMode::freeTrial};
    transaction.price = 0;
    return transaction;
}

StoreTransaction paidRenewal(std::uint64_t originalID = 42) {
    auto transaction = monthly(originalID);
    transaction.price = 9.99;
    return transaction;
}

class TrialConversionTests : public test::TallyTest {
protected:
    void SetUp() override {
        TallyTest::SetUp();
        setTransactionUpdates(store);
        auto configuration = makeConfiguration();
        configuration->setSendNewSessionBeganSignal(false);
        configuration->setSessionStatsEnabled(false);
        Tally::initialize(configuration);
    }

    void TearDown() override {
        TrialConversionTracker::resetShared();
        setTransactionUpdates(nullptr);
        TallyTest::TearDown();
    }

    // Delivers the update and waits until the tracker has acted on it.
    void deliver(const StoreTransaction& transaction, bool verified = true) {
        store->push({transaction, verified});
        ASSERT_TRUE(store->waitUntilHandled());
        TrialConversionTracker::shared()->flush();
    }

    std::vector<std::string> names() const { return installedManager()->names(); }

    std::optional<StoredTrial> remembered() const {
        TrialConversionTracker::shared()->flush();
        return TrialConversionTracker::shared()->currentTrial();
    }

    std::shared_ptr<test::InMemoryTransactionUpdates> store =
        std::make_shared<test::InMemoryTransactionUpdates>();
};

TEST_F(TrialConversionTests, APaidRenewalConvertsOnceAndForgetsTheTrial) {
    Tally::purchaseCompleted(trialStart());
    EXPECT_EQ(remembered(), (StoredTrial{"pro.monthly", 42}));
    EXPECT_EQ(Tally::customDefaults()->string("lastTrial"),
              R"({"originalTransactionID":42,"productID":"pro.monthly"})");

    auto stillTrial = trialStart();
    stillTrial.expirationDate = time->now().adding(86400);
    deliver(stillTrial);
    EXPECT_TRUE(TrialConversionTracker::shared()->isObserving());

    auto renewal = paidRenewal();
    renewal.expirationDate = time->now().adding(30 * 86400);
    deliver(renewal);
    deliver(paidRenewal());

    EXPECT_EQ(names(), (std::vector<std::string>{"Tally.Purchase.freeTrialStarted", converted}));
    const auto signal = installedManager()->processed().back();
    EXPECT_EQ(signal.parameters, renewal.purchaseParameters());
    EXPECT_DOUBLE_EQ(signal.floatValue.value_or(0), 9.99 / 0.9533);
    EXPECT_FALSE(signal.customUserID);
    EXPECT_FALSE(remembered());
    EXPECT_FALSE(Tally::customDefaults()->value("lastTrial"));
    EXPECT_FALSE(TrialConversionTracker::shared()->isObserving());
    EXPECT_EQ(store->openStreams(), 0u);
}

TEST_F(TrialConversionTests, OtherEndingsAndForeignTransactionsSendNothing) {
    struct Case {
        const char* name;
        StoreTransaction transaction;
        bool verified;
        bool keepsTrial;
    };
    auto revoked = paidRenewal();
    revoked.revocationDate = Date(700000000.0);
    auto expired = paidRenewal();
    expired.expirationDate = Date(800000000.0 - 1);
    auto upgraded = paidRenewal();
    upgraded.isUpgraded = true;
    auto otherProduct = paidRenewal();
    otherProduct.productID = "pro.yearly";
    const Case cases[] = {
        {"revoked", revoked, true, false},
        {"expired", expired, true, false},
        {"upgraded", upgraded, true, false},
        {"other product", otherProduct, true, true},
        {"other original id", paidRenewal(43), true, true},
        {"unverified", paidRenewal(), false, true},
    };
    for (const auto& c : cases) {
        Tally::purchaseCompleted(trialStart());
        deliver(c.transaction, c.verified);
        EXPECT_EQ(names().back(), "Tally.Purchase.freeTrialStarted") << c.name;
        EXPECT_EQ(remembered().has_value(), c.keepsTrial) << c.name;
        EXPECT_EQ(TrialConversionTracker::shared()->isObserving(), c.keepsTrial) << c.name;
    }
    EXPECT_EQ(store->mostOpenStreams(), 1u);
}

TEST_F(TrialConversionTests, ARememberedTrialIsObservedAgainByANewTracker) {
    Tally::purchaseCompleted(trialStart());
    TrialConversionTracker::shared()->flush();
    // As in the next run of the program.
    TrialConversionTracker::resetShared();
    EXPECT_EQ(store->openStreams(), 0u);

    const auto tracker = TrialConversionTracker::shared();
    EXPECT_TRUE(tracker->isObserving());
    deliver(paidRenewal());
    EXPECT_EQ(names().back(), converted);
    EXPECT_FALSE(remembered());
}

TEST_F(TrialConversionTests, ASecondTrialReplacesTheFirstAndItsObservation) {
    Tally::purchaseCompleted(trialStart(1));
    Tally::purchaseCompleted(trialStart(2));
    EXPECT_EQ(remembered(), (StoredTrial{"pro.monthly", 2}));
    EXPECT_EQ(store->openStreams(), 1u);
    EXPECT_EQ(store->mostOpenStreams(), 1u);

    deliver(paidRenewal(1));
    EXPECT_EQ(names().back(), "Tally.Purchase.freeTrialStarted");
    deliver(paidRenewal(2));
    EXPECT_EQ(names().back(), converted);
    EXPECT_EQ(installedManager()->processed().size(), 3u);
}

TEST_F(TrialConversionTests, WithoutAClientUpdatesAreIgnoredAndTheTrialKept) {
    Tally::purchaseCompleted(trialStart());
    TrialConversionTracker::shared()->flush();
    const auto configuration = TallyManager::shared()->configuration();
    Tally::terminate();
    deliver(paidRenewal());
    Tally::initialize(configuration);
    EXPECT_EQ(remembered(), (StoredTrial{"pro.monthly", 42}));
    EXPECT_TRUE(TrialConversionTracker::shared()->isObserving());
}

TEST_F(TrialConversionTests, StoredValuesThatDoNotDecodeAreNoTrial) {
    const json::Value unreadable[] = {
        "{",
        "[]",
        R"({"productID":"p"})",
        R"({"productID":"p","originalTransactionID":-1})",
        R"({"productID":"p","originalTransactionID":1.5})",
        R"({"productID":7,"originalTransactionID":1})",
        json::Value{{"productID", "p"}},
        12,
    };
    for (const auto& value : unreadable) {
        Tally::customDefaults()->set("lastTrial", value);
        EXPECT_FALSE(TrialConversionTracker::shared()->currentTrial()) << value.dump();
    }
    const StoredTrial big{"p", 18446744073709551615u};
    EXPECT_EQ(TrialConversionTracker::decode(TrialConversionTracker::encode(big)), big);
}

TEST_F(TrialConversionTests, AnEndedStreamEndsTheObservation) {
    Tally::purchaseCompleted(trialStart());
    store->finish();
    ASSERT_TRUE(store->waitForOpenStreams(0));
    EXPECT_FALSE(TrialConversionTracker::shared()->isObserving());
    EXPECT_TRUE(remembered());
}

}  // namespace
}  // namespace vorn::tally
