#include "Purchases/TrialConversionTracker.h"

#include "Helpers/ClientDomain.h"
#include "System/SharedSlot.h"
#include "System/TimeSource.h"
#include "Tally.h"

namespace vorn::tally {
namespace {

system::SharedSlot<TrialConversionTracker>& slot() {
    return system::processSlot<TrialConversionTracker>();
}

}  // namespace

std::shared_ptr<TrialConversionTracker> TrialConversionTracker::shared() {
    return slot().get(&TrialConversionTracker::create);
}

void TrialConversionTracker::resetShared() {
    // The slot releases the tracker outside its lock: the tracker joins its observation as it
    // goes.
    slot().reset();
}

TrialConversionTracker::TrialConversionTracker()
    : m_persistenceQueue(
        std::make_shared<system::SerialQueue>(clientLabel("trialtracker.persistence"))) {}

std::shared_ptr<TrialConversionTracker> TrialConversionTracker::create() {
    std::shared_ptr<TrialConversionTracker> tracker(new TrialConversionTracker);
    if (tracker->currentTrial()) {
        tracker->startObservingTransactions();
    }
    return tracker;
}

TrialConversionTracker::~TrialConversionTracker() {
    std::lock_guard starting(m_startMutex);
    if (m_task.joinable()) {
        m_task.request_stop();
        m_task.join();
    }
}

std::optional<TrialConversionTracker::StoredTrial> TrialConversionTracker::currentTrial() const {
    return readTrial();
}

void TrialConversionTracker::setCurrentTrial(std::optional<StoredTrial> trial) {
    m_persistenceQueue->async([trial = std::move(trial)] { writeTrial(trial); });
}

void TrialConversionTracker::startObservingTransactions() {
    std::lock_guard starting(m_startMutex);
    if (m_task.joinable()) {
        m_task.request_stop();
        m_task.join();
    }
    // Opened here rather than on the worker, so that no update arriving from now on is missed.
    auto stream = transactionUpdates()->open();
    {
        std::lock_guard lock(m_mutex);
        m_observing = true;
    }
    // The destructor joins the worker, so it may use the tracker through this.
    m_task = std::jthread([this, stream = std::move(stream)](std::stop_token stop) mutable {
        observe(*stream, stop);
        {
            std::lock_guard lock(m_mutex);
            m_observing = false;
        }
        stream.reset();
    });
}

bool TrialConversionTracker::isObserving() const {
    std::lock_guard lock(m_mutex);
    return m_observing;
}

void TrialConversionTracker::flush() {
    m_persistenceQueue->sync([] {});
}

void TrialConversionTracker::observe(TransactionUpdateStream& stream, std::stop_token stop) {
    while (auto update = stream.next(stop)) {
        if (!update->verified) {
            continue;
        }
        if (!handle(update->transaction)) {
            return;
        }
    }
}

bool TrialConversionTracker::handle(const StoreTransaction& transaction) {
    bool ended = false;
    bool converted = false;
    // Read, decided and forgotten in one step on the queue that writes the trial: a new trial
    // reported meanwhile is either seen here or written after this one is forgotten, never
    // forgotten in its place.
    m_persistenceQueue->sync([&] {
        const auto trial = readTrial();
        if (!trial || transaction.productID != trial->productID
            || transaction.originalID != trial->originalTransactionID) {
            return;
        }
        const bool expired = transaction.expirationDate
                             && transaction.expirationDate->secondsSince(system::now()) < 0;
        if (transaction.revocationDate || expired || transaction.isUpgraded) {
            ended = true;
        } else if (!transaction.isFreeTrial()) {
            ended = true;
            converted = true;
        }
        if (ended) {
            writeTrial(std::nullopt);
        }
    });
    if (converted) {
        Tally::internalSignal("Tally.Purchase.convertedFromTrial", transaction.purchaseParameters(),
                              transaction.priceInUSD(), std::nullopt);
    }
    return !ended;
}

std::optional<TrialConversionTracker::StoredTrial> TrialConversionTracker::readTrial() {
    const auto suite = Tally::customDefaults();
    if (!suite) {
        return std::nullopt;
    }
    const auto stored = suite->value(lastTrialKey);
    return stored ? decode(*stored) : std::nullopt;
}

void TrialConversionTracker::writeTrial(const std::optional<StoredTrial>& trial) {
    const auto suite = Tally::customDefaults();
    if (!suite) {
        return;
    }
    if (trial) {
        suite->set(lastTrialKey, encode(*trial));
    } else {
        suite->remove(lastTrialKey);
    }
}

std::string TrialConversionTracker::encode(const StoredTrial& trial) {
    const json::Value object = {{"productID", trial.productID},
                                {"originalTransactionID", trial.originalTransactionID}};
    return json::writeCompact(object).value_or("");
}

std::optional<TrialConversionTracker::StoredTrial> TrialConversionTracker::decode(
    const json::Value& stored) {
    if (!stored.is_string()) {
        return std::nullopt;
    }
    const auto parsed = json::parse(stored.get<std::string>());
    if (!parsed || !parsed->is_object()) {
        return std::nullopt;
    }
    const auto productID = json::asString(json::member(*parsed, "productID"));
    const json::Value* originalID = json::member(*parsed, "originalTransactionID");
    if (!productID || originalID == nullptr || !originalID->is_number_unsigned()) {
        return std::nullopt;
    }
    return StoredTrial{*productID, originalID->get<std::uint64_t>()};
}

}  // namespace vorn::tally
