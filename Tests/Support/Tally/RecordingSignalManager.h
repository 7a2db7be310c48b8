#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Signals/SignalManageable.h"

namespace vorn::tally::test {

// A signal manager that records what it is asked to do and holds records a test gives it.
class RecordingSignalManager final : public SignalManageable {
public:
    struct Processed {
        std::string name;
        Parameters parameters;
        std::optional<double> floatValue;
        std::optional<std::string> customUserID;
        std::shared_ptr<TallyConfiguration> configuration;
    };

    void processSignal(const std::string& signalName,
                       const Parameters& parameters,
                       std::optional<double> floatValue,
                       const std::optional<std::string>& customUserID,
                       const std::shared_ptr<TallyConfiguration>& configuration) override;
    void attemptToSendNextBatchOfCachedSignals() override { ++m_attempts; }
    std::string defaultUserIdentifier() override { return "recorded-user"; }
    void handOver(const std::shared_ptr<SignalManageable>& successor) override;
    void adoptPendingSignals(std::vector<SignalPostBody> records) override;

    std::vector<Processed> processed() const;
    std::vector<std::string> names() const;
    int attempts() const { return m_attempts.load(); }
    std::vector<SignalPostBody> pending() const;
    bool wasHandedOver() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Processed> m_processed;
    std::vector<SignalPostBody> m_pending;
    std::weak_ptr<SignalManageable> m_successor;
    bool m_handedOver = false;
    std::atomic<int> m_attempts{0};
};

// Builds recording managers and keeps them, in creation order.
class RecordingSignalManagerFactory {
public:
    SignalManagerFactory factory();
    std::vector<std::shared_ptr<RecordingSignalManager>> managers() const;

private:
    struct Store {
        std::mutex mutex;
        std::vector<std::shared_ptr<RecordingSignalManager>> managers;
    };
    std::shared_ptr<Store> m_store = std::make_shared<Store>();
};

}  // namespace vorn::tally::test
