#pragma once

#include <memory>

#include "Executor.h"
#include "Observability.h"
#include "ObservabilityService.h"

namespace vorn::app {

class HostTraitsFollower;
class ScreenEvents;

// Crash reporting and usage analytics as the services library starts them. With consent the
// analytics client runs its main-thread work on the application's executor, and Qt tells it
// the host's screen and appearance, at start and on every change. The screen events outlive it.
// Main thread only.
class ServicesObservability final : public ObservabilityService {
public:
    ServicesObservability(bool consented,
                          ObservabilitySetup setup,
                          std::shared_ptr<MainExecutor> executor,
                          ScreenEvents& screenEvents);
    // Hands the client's main queue back to its own thread: the executor stops with the
    // application's event loop.
    ~ServicesObservability() override;

    void start() override;
    std::shared_ptr<TelemetrySink> sink() const override { return m_observability.sink(); }
    void setConsented(bool consented) override;

private:
    // Before the client starts, so that its first signal already carries the traits and its
    // main-thread work never runs on a thread of its own.
    void followHost();

    Observability m_observability;
    std::shared_ptr<MainExecutor> m_executor;
    ScreenEvents& m_screenEvents;
    std::unique_ptr<HostTraitsFollower> m_hostTraits;
};

}  // namespace vorn::app
