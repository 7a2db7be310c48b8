#include "Presets/PresetParameters.h"
#include "Purchases/TrialConversionTracker.h"
#include "Tally.h"

namespace vorn::tally {
namespace {

// Judged by what was paid; the conversion tracker judges later transactions by their offer.
bool startsFreeTrial(const StoreTransaction& transaction) {
    return transaction.productType == ProductType::autoRenewable && transaction.offer
           && transaction.offer->type == OfferType::introductory
           && (!transaction.price || *transaction.price == 0);
}

}  // namespace

void Tally::purchaseCompleted(const StoreTransaction& transaction,
                              const Parameters& parameters,
                              const std::optional<std::string>& customUserID) {
    Parameters merged = mergedOver(transaction.purchaseParameters(), parameters);
    if (!startsFreeTrial(transaction)) {
        internalSignal("Tally.Purchase.completed", merged, transaction.priceInUSD(), customUserID);
        return;
    }
    internalSignal("Tally.Purchase.freeTrialStarted", merged, std::nullopt, customUserID);
    const auto tracker = TrialConversionTracker::shared();
    tracker->setCurrentTrial(
        TrialConversionTracker::StoredTrial{transaction.productID, transaction.originalID});
    tracker->startObservingTransactions();
}

}  // namespace vorn::tally
