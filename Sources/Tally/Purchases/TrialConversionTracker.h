#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "JSON.h"
#include "Purchases/TransactionUpdates.h"
#include "System/SerialQueue.h"

namespace vorn::tally {

// Watches a free trial the client reported: when a later transaction of the same subscription
// is a paid one, sends "Tally.Purchase.convertedFromTrial" once and forgets the trial; a
// trial refunded, expired or upgraded is forgotten without a signal. The trial is remembered
// under "lastTrial" in the client's settings suite, so that it outlives the process. It only
// reports; nothing depends on it.
class TrialConversionTracker {
public:
    struct StoredTrial {
        std::string productID;
        // The original transaction's identifier, shared by the subscription's transactions.
        std::uint64_t originalTransactionID = 0;

        friend bool operator==(const StoredTrial&, const StoredTrial&) = default;
    };

    static constexpr const char* lastTrialKey = "lastTrial";

    // The process's tracker, created on first use.
    static std::shared_ptr<TrialConversionTracker> shared();
    // Forgets the process's tracker (its observation is stopped and joined), so that the next
    // use creates a new one, as in a new run of the program.
    static void resetShared();
    // A tracker on the installed transaction updates; it observes them at once when a trial is
    // remembered.
    static std::shared_ptr<TrialConversionTracker> create();
    // Stops the observation and waits for it; queued writes still run.
    ~TrialConversionTracker();

    TrialConversionTracker(const TrialConversionTracker&) = delete;
    TrialConversionTracker& operator=(const TrialConversionTracker&) = delete;

    // The remembered trial, read on the caller's thread; none without a client, a stored value
    // or one that decodes.
    std::optional<StoredTrial> currentTrial() const;
    // Remembers the trial, or with none forgets it; written later, in call order.
    void setCurrentTrial(std::optional<StoredTrial> trial);
    // Stops and joins a running observation, then observes the transaction updates anew.
    void startObservingTransactions();
    bool isObserving() const;
    // Waits until every write queued so far has run.
    void flush();

    // The stored form: the JSON text {"originalTransactionID":…,"productID":"…"}.
    static std::string encode(const StoredTrial& trial);
    static std::optional<StoredTrial> decode(const json::Value& stored);

private:
    TrialConversionTracker();

    void observe(TransactionUpdateStream& stream, std::stop_token stop);
    // Acts on one verified update; false when the trial ended and observing should stop.
    bool handle(const StoreTransaction& transaction);
    static std::optional<StoredTrial> readTrial();
    static void writeTrial(const std::optional<StoredTrial>& trial);

    const std::shared_ptr<system::SerialQueue> m_persistenceQueue;
    // One start or stop of the observation at a time; held while an old observation is joined.
    std::mutex m_startMutex;
    mutable std::mutex m_mutex;
    bool m_observing = false;  // under m_mutex
    std::jthread m_task;       // under m_startMutex
};

}  // namespace vorn::tally
