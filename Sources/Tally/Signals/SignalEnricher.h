#pragma once

#include <optional>
#include <string>

#include "Helpers/Parameters.h"

namespace vorn::tally {

// Adds computed parameters to every signal. Called on the client's background threads.
class SignalEnricher {
public:
    virtual ~SignalEnricher() = default;
    // clientUser is the caller's user identifier exactly as given, possibly absent.
    virtual Parameters enrich(const std::string& signalType,
                              const std::optional<std::string>& clientUser,
                              std::optional<double> floatValue) = 0;
};

}  // namespace vorn::tally
