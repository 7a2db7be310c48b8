#include "RecordingSignalManager.h"

namespace vorn::tally::test {

void RecordingSignalManager::processSignal(
    const std::string& signalName,
    const Parameters& parameters,
    std::optional<double> floatValue,
    const std::optional<std::string>& customUserID,
    const std::shared_ptr<TallyConfiguration>& configuration) {
    std::shared_ptr<SignalManageable> successor;
    {
        std::lock_guard lock(m_mutex);
        m_processed.push_back({signalName, parameters, floatValue, customUserID, configuration});
        successor = m_successor.lock();
    }
    if (successor) {
        SignalPostBody record;
        record.type = signalName;
        record.payload = parameters;
        record.floatValue = floatValue;
        successor->adoptPendingSignals({record});
    }
}

void RecordingSignalManager::handOver(const std::shared_ptr<SignalManageable>& successor) {
    std::vector<SignalPostBody> records;
    {
        std::lock_guard lock(m_mutex);
        records = std::move(m_pending);
        m_pending.clear();
        m_successor = successor;
        m_handedOver = true;
    }
    successor->adoptPendingSignals(std::move(records));
}

void RecordingSignalManager::adoptPendingSignals(std::vector<SignalPostBody> records) {
    std::lock_guard lock(m_mutex);
    for (auto& record : records) {
        m_pending.push_back(std::move(record));
    }
}

std::vector<RecordingSignalManager::Processed> RecordingSignalManager::processed() const {
    std::lock_guard lock(m_mutex);
    return m_processed;
}

std::vector<std::string> RecordingSignalManager::names() const {
    std::vector<std::string> out;
    for (const auto& signal : processed()) {
        out.push_back(signal.name);
    }
    return out;
}

std::vector<SignalPostBody> RecordingSignalManager::pending() const {
    std::lock_guard lock(m_mutex);
    return m_pending;
}

bool RecordingSignalManager::wasHandedOver() const {
    std::lock_guard lock(m_mutex);
    return m_handedOver;
}

SignalManagerFactory RecordingSignalManagerFactory::factory() {
    return [store = m_store](const std::shared_ptr<TallyConfiguration>&) {
        auto manager = std::make_shared<RecordingSignalManager>();
        std::lock_guard lock(store->mutex);
        store->managers.push_back(manager);
        return manager;
    };
}

std::vector<std::shared_ptr<RecordingSignalManager>> RecordingSignalManagerFactory::managers()
    const {
    std::lock_guard lock(m_store->mutex);
    return m_store->managers;
}

}  // namespace vorn::tally::test
