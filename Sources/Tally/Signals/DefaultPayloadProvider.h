#pragma once

#include <functional>

#include "Helpers/Parameters.h"

namespace vorn::tally {

// Computes the parameters every signal carries besides the caller's; called once per signal on
// the main queue.
using DefaultPayloadProvider = std::function<Parameters()>;

// The installed provider's parameters; without one, DefaultSignalPayload's.
Parameters defaultSignalPayload();
// Installs a provider in place of DefaultSignalPayload; null restores it.
void setDefaultPayloadProvider(DefaultPayloadProvider provider);

}  // namespace vorn::tally
