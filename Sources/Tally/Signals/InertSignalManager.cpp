#include "Signals/InertSignalManager.h"

#include "Crypto.h"
#include "TallyConfiguration.h"

namespace vorn::tally {

void InertSignalManager::processSignal(const std::string& signalName,
                                       const Parameters&,
                                       std::optional<double>,
                                       const std::optional<std::string>&,
                                       const std::shared_ptr<TallyConfiguration>& configuration) {
    configuration->log(LogHandler::LogLevel::debug,
                       "Dropped signal before initialisation type=" + signalName);
}

std::string InertSignalManager::defaultUserIdentifier() {
    return host::randomUuid().string();
}

}  // namespace vorn::tally
