#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Date.h"
#include "Helpers/Parameters.h"

namespace vorn::tally {

enum class ProductType {
    consumable,
    nonConsumable,
    nonRenewable,
    autoRenewable,
};

enum class OfferType {
    introductory,
    promotional,
    code,
    winBack,
};

enum class OfferPaymentMode {
    freeTrial,
    payAsYouGo,
    payUpFront,
};

// The offer a transaction was bought through.
struct TransactionOffer {
    OfferType type = OfferType::introductory;
    std::optional<OfferPaymentMode> paymentMode;
};

// What the client reads of one store transaction. A plain value: the platform's store, or a
// test, fills it in.
struct StoreTransaction {
    std::string productID;
    // Shared by every transaction of one subscription.
    std::uint64_t originalID = 0;
    ProductType productType = ProductType::nonConsumable;
    std::optional<TransactionOffer> offer;
    // In the transaction's currency.
    std::optional<double> price;
    std::optional<std::string> currencyCode;
    std::optional<std::string> subscriptionGroupID;
    std::string storefrontCountryCode;
    std::optional<Date> revocationDate;
    std::optional<Date> expirationDate;
    bool isUpgraded = false;

    // "Tally.Purchase.type" ("subscription" with a subscription group, else
    // "one-time-purchase"), ".countryCode", ".productID" and, with a currency,
    // ".currencyCode".
    Parameters purchaseParameters() const;
    // The price in US dollars through the built-in exchange rates; 0 without a currency, for
    // a currency missing from the table, and for a price or rate that is no usable number.
    double priceInUSD() const;
    // An introductory offer whose payment mode is the free trial.
    bool isFreeTrial() const;
};

// One update of the store's transactions, with the outcome of its verification.
struct TransactionUpdate {
    StoreTransaction transaction;
    bool verified = false;
};

}  // namespace vorn::tally
