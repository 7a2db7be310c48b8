#include <cmath>
#include <limits>
#include <tuple>

#include <gtest/gtest.h>

#include "Modifiers/TrackNavigation.h"
#include "Presets/NavigationStatus.h"
#include "Purchases/ExchangeRates.h"
#include "Purchases/TrialConversionTracker.h"
#include "Tally.h"
#include "TallyTestEnvironment.h"

namespace vorn::tally {
namespace {

class PresetSignalTests : public test::TallyTest {
protected:
    void SetUp() override {
        TallyTest::SetUp();
        auto configuration = makeConfiguration();
        configuration->setSendNewSessionBeganSignal(false);
        configuration->setSessionStatsEnabled(false);
        // Presets bypass both prefixes.
        configuration->setDefaultSignalPrefix("App.");
        configuration->setDefaultParameterPrefix("app.");
        Tally::initialize(configuration);
        NavigationStatus::shared().previousNavigationPath.reset();
    }

    void TearDown() override {
        TrialConversionTracker::resetShared();
        TallyTest::TearDown();
    }

    test::RecordingSignalManager::Processed last() const {
        return installedManager()->processed().back();
    }

    static StoreTransaction purchase(std::optional<double> price,
                                     std::optional<std::string> currency) {
        StoreTransaction transaction;
        transaction.productID = "pro.lifetime";
        transaction.originalID = 11;
        transaction.productType = ProductType::nonConsumable;
        transaction.price = price;
        transaction.currencyCode = std::move(currency);
        transaction.storefrontCountryCode = "DEU";
        return transaction;
    }
};

class Failure final : public IdentifiableError {
public:
    std::string id() const override { return "disk-full"; }
    std::string localizedDescription() const override { return "The disk is full."; }
};

TEST_F(PresetSignalTests, EveryPresetSendsItsNameAndKeys) {
    const Failure failure;
    struct Case {
        std::function<void()> send;
        std::string name;
        Parameters parameters;
        std::optional<double> floatValue = std::nullopt;
    };
    const std::vector<Case> cases = {
        {[] { Tally::acquiredUser("search"); },
         "Tally.Acquisition.userAcquired",
         {{"Tally.Acquisition.channel", "search"}}},
        {[] { Tally::leadStarted("L1"); },
         "Tally.Acquisition.leadStarted",
         {{"Tally.Acquisition.leadID", "L1"}}},
        {[] { Tally::leadConverted("L1"); },
         "Tally.Acquisition.leadConverted",
         {{"Tally.Acquisition.leadID", "L1"}}},
        {[] { Tally::onboardingCompleted(); }, "Tally.Activation.onboardingCompleted", {}},
        {[] { Tally::coreFeatureUsed("pin"); },
         "Tally.Activation.coreFeatureUsed",
         {{"Tally.Activation.featureName", "pin"}}},
        {[] { Tally::referralSent(3); },
         "Tally.Referral.sent",
         {{"Tally.Referral.receiversCount", "3"}}},
        {[] { Tally::referralSent(2, "mail"); },
         "Tally.Referral.sent",
         {{"Tally.Referral.receiversCount", "2"}, {"Tally.Referral.kind", "mail"}}},
        {[] { Tally::userRatingSubmitted(0); },
         "Tally.Referral.userRatingSubmitted",
         {{"Tally.Referral.ratingValue", "0"}}},
        {[] { Tally::userRatingSubmitted(10, "great"); },
         "Tally.Referral.userRatingSubmitted",
         {{"Tally.Referral.ratingValue", "10"}, {"Tally.Referral.ratingComment", "great"}}},
        {[] { Tally::paywallShown("limit"); },
         "Tally.Revenue.paywallShown",
         {{"Tally.Revenue.paywallShowReason", "limit"}}},
        {[] { Tally::errorOccurred("E1"); }, "Tally.Error.occurred", {{"Tally.Error.id", "E1"}}},
        {[] { Tally::errorOccurred("E2", ErrorCategory::userInput, "bad", {}, 4.0); },
         "Tally.Error.occurred",
         {{"Tally.Error.id", "E2"},
          {"Tally.Error.category", "user-input"},
          {"Tally.Error.message", "bad"}},
         4.0},
        {[&] { Tally::errorOccurred(failure, ErrorCategory::thrownException); },
         "Tally.Error.occurred",
         {{"Tally.Error.id", "disk-full"},
          {"Tally.Error.category", "thrown-exception"},
          {"Tally.Error.message", "The disk is full."}}},
        {[&] { Tally::errorOccurred(failure, ErrorCategory::appState, std::nullopt); },
         "Tally.Error.occurred",
         {{"Tally.Error.id", "disk-full"}, {"Tally.Error.category", "app-state"}}},
        {[] {
             Tally::errorOccurred(withID(std::make_error_code(std::errc::permission_denied), "io"),
                                  ErrorCategory::appState);
         },
         "Tally.Error.occurred",
         {{"Tally.Error.id", "io"},
          {"Tally.Error.category", "app-state"},
          {"Tally.Error.message", std::make_error_code(std::errc::permission_denied).message()}}},
        {[] { Tally::navigate("/a", "/b"); },
         "Tally.Navigation.pathChanged",
         {{"Tally.Navigation.schemaVersion", "1"},
          {"Tally.Navigation.identifier", "/a -> /b"},
          {"Tally.Navigation.sourcePath", "/a"},
          {"Tally.Navigation.destinationPath", "/b"}}},
        {[] { Tally::purchaseCompleted(purchase(9.99, "USD")); },
         "Tally.Purchase.completed",
         {{"Tally.Purchase.type", "one-time-purchase"},
          {"Tally.Purchase.countryCode", "DEU"},
          {"Tally.Purchase.productID", "pro.lifetime"},
          {"Tally.Purchase.currencyCode", "USD"}},
         9.99},
    };
    for (const auto& c : cases) {
        c.send();
        const auto signal = last();
        EXPECT_EQ(signal.name, c.name);
        EXPECT_EQ(signal.parameters, c.parameters) << c.name;
        EXPECT_EQ(signal.floatValue, c.floatValue) << c.name;
        EXPECT_FALSE(signal.customUserID) << c.name;
    }
    EXPECT_EQ(installedManager()->processed().size(), cases.size());
    EXPECT_TRUE(log.messages().empty());
}

TEST_F(PresetSignalTests, CallersParametersAndUserWinOverThePresets) {
    Tally::errorOccurred("E1", ErrorCategory::appState, std::nullopt,
                         {{"Tally.Error.id", "mine"}, {"extra", "1"}}, std::nullopt, "user-7");
    const auto signal = last();
    EXPECT_EQ(signal.parameters, (Parameters{{"Tally.Error.id", "mine"},
                                             {"Tally.Error.category", "app-state"},
                                             {"extra", "1"}}));
    EXPECT_EQ(signal.customUserID, "user-7");
}

TEST_F(PresetSignalTests, RatingsOutsideZeroToTenAreRefusedWithAMessage) {
    Tally::userRatingSubmitted(11);
    Tally::userRatingSubmitted(-1, "no");
    EXPECT_TRUE(installedManager()->processed().empty());
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"Rating must be between 0 and 10",
                                                        "Rating must be between 0 and 10"}));
    EXPECT_EQ(log.lines().at(0).level, LogHandler::LogLevel::error);
}

TEST_F(PresetSignalTests, NavigationStartsFromTheLastDestination) {
    Tally::navigateTo("/home");
    const TrackNavigation settings("/settings");
    settings.viewShown();
    settings.viewShown();
    const auto signals = installedManager()->processed();
    ASSERT_EQ(signals.size(), 3u);
    EXPECT_EQ(signals[0].parameters.at("Tally.Navigation.identifier"), " -> /home");
    EXPECT_EQ(signals[0].parameters.at("Tally.Navigation.sourcePath"), "");
    EXPECT_EQ(signals[1].parameters.at("Tally.Navigation.identifier"), "/home -> /settings");
    EXPECT_EQ(signals[2].parameters.at("Tally.Navigation.identifier"), "/settings -> /settings");
}

TEST_F(PresetSignalTests, PricesAreConvertedToUSDWithTheTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    struct Case {
        std::optional<double> price;
        std::optional<std::string> currency;
        double usd;
    };
    const Case cases[] = {
        {9.99, "EUR", 9.99 / 0.9533},
        {9.99, "USD", 9.99},
        {1000, "JPY", 1000 / 152.3479},
        {9.99, "XYZ", 0},
        {9.99, std::nullopt, 0},
        {std::nullopt, "EUR", 0},
        {nan, "EUR", 0},
        {infinity, "USD", 0},
        {-infinity, "GBP", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(purchase(c.price, c.currency).priceInUSD(), c.usd)
            << c.price.value_or(-1) << " " << c.currency.value_or("none");
    }
    Tally::purchaseCompleted(purchase(9.99, std::nullopt));
    EXPECT_EQ(last().floatValue, 0.0);
    EXPECT_FALSE(last().parameters.contains("Tally.Purchase.currencyCode"));
}

TEST_F(PresetSignalTests, TheRateTableHasEveryCurrencyInOrderAndNoDollar) {
    const std::string expected =
        "AED AFN ALL AMD ANG AOA ARS AUD AWG AZN BAM BBD BDT BGN BHD BIF BMD BND BOB BRL BSD BTN "
        "BWP BYN BZD CAD CDF CHF CLP CNY COP CRC CUP CVE CZK DJF DKK DOP DZD EGP ERN ETB EUR FJD "
        "FKP FOK GBP GEL GGP GHS GIP GMD GNF GTQ GYD HKD HNL HRK HTG HUF IDR ILS IMP INR IQD IRR "
        "ISK JEP JMD JOD JPY KES KGS KHR KID KMF KRW KWD KYD KZT LAK LBP LKR LRD LSL LYD MAD MDL "
        "MGA MKD MMK MNT MOP MRU MUR MVR MWK MXN MYR MZN NAD NGN NIO NOK NPR NZD OMR PAB PEN PGK "
        "PHP PKR PLN PYG QAR RON RSD RUB RWF SAR SBD SCR SDG SEK SGD SHP SLE SLL SOS SRD SSP STN "
        "SYP SZL THB TJS TMT TND TOP TRY TTD TVD TWD TZS UAH UGX UYU UZS VES VND VUV WST XAF XCD "
        "XDR XOF XPF YER ZAR ZMW ZWL";
    std::string keys;
    double smallest = std::numeric_limits<double>::infinity();
    double largest = 0;
    for (const auto& rate : currencyCodeToOneUSDExchangeRate()) {
        keys += (keys.empty() ? "" : " ") + std::string(rate.currencyCode);
        EXPECT_TRUE(std::isfinite(rate.unitsPerUSD) && rate.unitsPerUSD > 0) << rate.currencyCode;
        smallest = std::min(smallest, rate.unitsPerUSD);
        largest = std::max(largest, rate.unitsPerUSD);
    }
    EXPECT_EQ(currencyCodeToOneUSDExchangeRate().size(), 161u);
    EXPECT_EQ(keys, expected);
    EXPECT_FALSE(oneUSDExchangeRate("USD"));
    const std::pair<const char*, double> given[] = {
        {"EUR", 0.9533}, {"GBP", 0.7948},    {"JPY", 152.3479}, {"CHF", 0.8997},   {"CNY", 7.2626},
        {"KWD", 0.3085}, {"IRR", 41993.216}, {"LBP", 89500.0},  {"BMD", 1.0},      {"PAB", 1.0},
        {"SAR", 3.75},   {"AED", 3.6725},    {"XOF", 625.3371}, {"XAF", 625.3371},
    };
    for (const auto& [code, rate] : given) {
        EXPECT_EQ(oneUSDExchangeRate(code), rate) << code;
    }
    EXPECT_EQ(smallest, 0.3085);
    EXPECT_EQ(largest, 89500.0);
}

TEST_F(PresetSignalTests, OnlyTheReferenceAndPeggedRatesClaimToBeExact) {
    // A price in a pegged currency converts as the same price in its anchor does.
    const std::tuple<const char*, const char*, double> pegs[] = {
        {"BAM", "EUR", 1.95583},     {"BGN", "EUR", 1.95583},   {"CVE", "EUR", 110.265},
        {"HRK", "EUR", 7.5345},      {"KMF", "EUR", 491.96775}, {"STN", "EUR", 24.5},
        {"XPF", "EUR", 1000 / 8.38}, {"FKP", "GBP", 1},         {"SHP", "GBP", 1},
        {"BSD", "BMD", 1},           {"XCD", "BMD", 2.7},       {"QAR", "BMD", 3.64},
    };
    for (const auto& [code, anchor, parity] : pegs) {
        EXPECT_DOUBLE_EQ(*oneUSDExchangeRate(code), *oneUSDExchangeRate(anchor) * parity) << code;
    }
    std::size_t given = 0;
    std::size_t pegged = 0;
    for (const auto& rate : currencyCodeToOneUSDExchangeRate()) {
        given += rate.basis == RateBasis::given ? 1 : 0;
        pegged += rate.basis == RateBasis::pegged ? 1 : 0;
    }
    EXPECT_EQ(given, 14u);
    EXPECT_EQ(pegged, 26u);
}

TEST_F(PresetSignalTests, OnlyAFreeIntroductorySubscriptionStartsATrial) {
    const auto subscription = [](ProductType type, std::optional<OfferType> offer,
                                 std::optional<double> price) {
        StoreTransaction transaction;
        transaction.productID = "pro.monthly";
        transaction.originalID = 42;
        transaction.productType = type;
        if (offer) {
            transaction.offer = TransactionOffer{*offer, OfferPaymentMode::freeTrial};
        }
        transaction.price = price;
        transaction.currencyCode = "EUR";
        transaction.subscriptionGroupID = "group";
        transaction.storefrontCountryCode = "FRA";
        return transaction;
    };
    struct Case {
        StoreTransaction transaction;
        const char* name;
    };
    const Case cases[] = {
        {subscription(ProductType::autoRenewable, OfferType::introductory, 0),
         "Tally.Purchase.freeTrialStarted"},
        {subscription(ProductType::autoRenewable, OfferType::introductory, std::nullopt),
         "Tally.Purchase.freeTrialStarted"},
        {subscription(ProductType::autoRenewable, OfferType::introductory, 4.99),
         "Tally.Purchase.completed"},
        {subscription(ProductType::autoRenewable, OfferType::promotional, 0),
         "Tally.Purchase.completed"},
        {subscription(ProductType::autoRenewable, std::nullopt, 0), "Tally.Purchase.completed"},
        {subscription(ProductType::nonRenewable, OfferType::introductory, 0),
         "Tally.Purchase.completed"},
    };
    for (const auto& c : cases) {
        Tally::purchaseCompleted(c.transaction, {{"plan", "x"}});
        const auto signal = last();
        EXPECT_EQ(signal.name, c.name);
        EXPECT_EQ(signal.parameters.at("Tally.Purchase.type"), "subscription");
        EXPECT_EQ(signal.parameters.at("plan"), "x");
        const bool trial = signal.name == "Tally.Purchase.freeTrialStarted";
        EXPECT_EQ(signal.floatValue.has_value(), !trial);
    }
    const auto tracker = TrialConversionTracker::shared();
    tracker->flush();
    EXPECT_EQ(tracker->currentTrial(), (TrialConversionTracker::StoredTrial{"pro.monthly", 42}));
    EXPECT_TRUE(tracker->isObserving());
}

}  // namespace
}  // namespace vorn::tally
