#pragma once

#include <memory>
#include <optional>
#include <stop_token>

#include "Purchases/StoreTransaction.h"

namespace vorn::tally {

// One reader's view of the store's transaction updates, in arrival order. Used by one thread.
class TransactionUpdateStream {
public:
    virtual ~TransactionUpdateStream() = default;
    // Waits for the next update; none once the stream has ended or stop was requested.
    virtual std::optional<TransactionUpdate> next(std::stop_token stop) = 0;
};

// The store's stream of transaction updates. Every stream sees the updates that arrive after
// it was opened.
class TransactionUpdates {
public:
    virtual ~TransactionUpdates() = default;
    // Opens a stream; may be called from any thread.
    virtual std::unique_ptr<TransactionUpdateStream> open() = 0;
};

// The installed source. Linux has no application store: by default every stream stays empty
// and ends only when its reader stops.
std::shared_ptr<TransactionUpdates> transactionUpdates();
// Installs a source; null restores the default.
void setTransactionUpdates(std::shared_ptr<TransactionUpdates> updates);

}  // namespace vorn::tally
