#include "ServicesObservability.h"

#include "HostTraitsFollower.h"
#include "System/Dispatch.h"

namespace vorn::app {

ServicesObservability::ServicesObservability(bool consented,
                                             ObservabilitySetup setup,
                                             std::shared_ptr<MainExecutor> executor)
    : m_observability(consented, std::move(setup))
    , m_executor(std::move(executor)) {}

ServicesObservability::~ServicesObservability() {
    if (m_hostTraits) {
        tally::system::setMainExecutor(nullptr);
    }
}

void ServicesObservability::start() {
    // Before the client starts, so that its first signal already carries the traits and its
    // main-thread work never runs on a thread of its own.
    if (m_observability.consented() && !m_hostTraits) {
        tally::system::setMainExecutor(m_executor);
        m_hostTraits = std::make_unique<HostTraitsFollower>();
    }
    m_observability.start();
}

}  // namespace vorn::app
