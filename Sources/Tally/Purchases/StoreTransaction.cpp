#include "Purchases/StoreTransaction.h"

#include <cmath>

#include "Purchases/ExchangeRates.h"

namespace vorn::tally {

Parameters StoreTransaction::purchaseParameters() const {
    Parameters parameters = {
        {"Tally.Purchase.type", subscriptionGroupID ? "subscription" : "one-time-purchase"},
        {"Tally.Purchase.countryCode", storefrontCountryCode},
        {"Tally.Purchase.productID", productID},
    };
    if (currencyCode) {
        parameters.insert_or_assign("Tally.Purchase.currencyCode", *currencyCode);
    }
    return parameters;
}

double StoreTransaction::priceInUSD() const {
    const double amount = price.value_or(0);
    // An infinite or undefined amount would reach the service as an unusable figure.
    if (!std::isfinite(amount)) {
        return 0;
    }
    if (currencyCode == "USD") {
        return amount;
    }
    if (!currencyCode) {
        return 0;
    }
    const auto rate = oneUSDExchangeRate(*currencyCode);
    if (!rate || !std::isfinite(*rate) || *rate == 0) {
        return 0;
    }
    return amount / *rate;
}

bool StoreTransaction::isFreeTrial() const {
    return offer && offer->type == OfferType::introductory
           && offer->paymentMode == OfferPaymentMode::freeTrial;
}

}  // namespace vorn::tally
