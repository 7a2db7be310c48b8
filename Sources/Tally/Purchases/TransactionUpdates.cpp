#include "Purchases/TransactionUpdates.h"

#include <condition_variable>
#include <mutex>

#include "System/SharedSlot.h"

namespace vorn::tally {
namespace {

// What a system without an application store offers: nothing, until the reader stops.
class NoStoreStream final : public TransactionUpdateStream {
public:
    std::optional<TransactionUpdate> next(std::stop_token stop) override {
        std::unique_lock lock(m_mutex);
        m_never.wait(lock, stop, [] { return false; });
        return std::nullopt;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_never;
};

class NoStore final : public TransactionUpdates {
public:
    std::unique_ptr<TransactionUpdateStream> open() override {
        return std::make_unique<NoStoreStream>();
    }
};

system::SharedSlot<TransactionUpdates>& slot() {
    return system::processSlot<TransactionUpdates>();
}

}  // namespace

std::shared_ptr<TransactionUpdates> transactionUpdates() {
    return slot().get([] { return std::make_shared<NoStore>(); });
}

void setTransactionUpdates(std::shared_ptr<TransactionUpdates> updates) {
    slot().set(std::move(updates));
}

}  // namespace vorn::tally
