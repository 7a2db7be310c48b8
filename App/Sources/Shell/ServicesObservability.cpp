#include "ServicesObservability.h"

#include "HostTraitsFollower.h"
#include "System/Dispatch.h"

namespace vorn::app {

ServicesObservability::ServicesObservability(bool consented,
                                             ObservabilitySetup setup,
                                             std::shared_ptr<MainExecutor> executor,
                                             ScreenEvents& screenEvents)
    : m_observability(consented, std::move(setup))
    , m_executor(std::move(executor))
    , m_screenEvents(screenEvents) {}

ServicesObservability::~ServicesObservability() {
    if (m_hostTraits) {
        tally::system::setMainExecutor(nullptr);
    }
}

void ServicesObservability::start() {
    if (m_observability.consented()) {
        followHost();
    }
    m_observability.start();
}

void ServicesObservability::setConsented(bool consented) {
    if (consented) {
        followHost();
    }
    m_observability.setConsented(consented);
}

void ServicesObservability::followHost() {
    if (m_hostTraits) {
        return;
    }
    tally::system::setMainExecutor(m_executor);
    m_hostTraits = std::make_unique<HostTraitsFollower>(m_screenEvents);
}

}  // namespace vorn::app
