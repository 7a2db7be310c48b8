#pragma once

#include "Signals/SignalManageable.h"

namespace vorn::tally {

// An engine that drops every signal and touches no file: the stand-in while no client is
// installed.
class InertSignalManager final : public SignalManageable {
public:
    void processSignal(const std::string& signalName,
                       const Parameters& parameters,
                       std::optional<double> floatValue,
                       const std::optional<std::string>& customUserID,
                       const std::shared_ptr<TallyConfiguration>& configuration) override;
    void attemptToSendNextBatchOfCachedSignals() override {}
    // A fresh random identifier each time, as without a settings suite.
    std::string defaultUserIdentifier() override;
    void handOver(const std::shared_ptr<SignalManageable>&) override {}
    void adoptPendingSignals(std::vector<SignalPostBody>) override {}
};

}  // namespace vorn::tally
