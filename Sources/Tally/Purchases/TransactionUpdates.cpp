#include "Purchases/TransactionUpdates.h"

#include <condition_variable>
#include <mutex>

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

struct Slot {
    std::mutex mutex;
    std::shared_ptr<TransactionUpdates> installed;
};

Slot& slot() {
    static auto* s = new Slot;
    return *s;
}

}  // namespace

std::shared_ptr<TransactionUpdates> transactionUpdates() {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    if (!s.installed) {
        s.installed = std::make_shared<NoStore>();
    }
    return s.installed;
}

void setTransactionUpdates(std::shared_ptr<TransactionUpdates> updates) {
    std::lock_guard lock(slot().mutex);
    slot().installed = std::move(updates);
}

}  // namespace vorn::tally
