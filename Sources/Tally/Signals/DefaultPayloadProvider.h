#pragma once

#include <functional>

#include "Helpers/Parameters.h"

namespace vorn::tally {

// Computes the parameters every signal carries besides the caller's; called once per signal on
// the main queue.
using DefaultPayloadProvider = std::function<Parameters()>;

// The installed provider's parameters; empty until one is installed.
Parameters defaultSignalPayload();
// Installs the provider; null returns to the empty payload.
void setDefaultPayloadProvider(DefaultPayloadProvider provider);

}  // namespace vorn::tally
