#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Helpers/Parameters.h"
#include "Signals/SignalPostBody.h"

namespace vorn::tally {

class TallyConfiguration;

// What the client manager needs of the engine that turns signals into records and delivers
// them. Every operation returns at once and may be called from any thread.
class SignalManageable {
public:
    virtual ~SignalManageable() = default;

    // Queues one signal; the prefixes and the default parameters are already applied.
    virtual void processSignal(const std::string& signalName,
                               const Parameters& parameters,
                               std::optional<double> floatValue,
                               const std::optional<std::string>& customUserID,
                               const std::shared_ptr<TallyConfiguration>& configuration) = 0;
    // Starts one delivery attempt.
    virtual void attemptToSendNextBatchOfCachedSignals() = 0;
    // The user identifier used when a signal names none.
    virtual std::string defaultUserIdentifier() = 0;

    // Called when a re-initialised client replaces this engine: hands every pending record to
    // the successor, passes on any record still built afterwards, and stops delivering and
    // writing the cache at termination, so that the two never write the same file.
    virtual void handOver(const std::shared_ptr<SignalManageable>& successor) = 0;
    // Takes records from a predecessor, after those already held.
    virtual void adoptPendingSignals(std::vector<SignalPostBody> records) = 0;
    // The user withdrew consent: stops delivering, drops every record held or still built, and
    // deletes what the engine keeps on disk. Final.
    virtual void discardPendingSignals() {}
};

// Builds the engine of a new client manager.
using SignalManagerFactory =
    std::function<std::shared_ptr<SignalManageable>(const std::shared_ptr<TallyConfiguration>&)>;

}  // namespace vorn::tally
