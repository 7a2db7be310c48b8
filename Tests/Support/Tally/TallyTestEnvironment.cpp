#include "TallyTestEnvironment.h"

#include <cstdlib>

#include "PirateMetrics/SessionStatistics.h"
#include "Signals/DefaultPayloadProvider.h"
#include "Signals/HostInformation.h"
#include "System/Dispatch.h"
#include "System/TimeZone.h"
#include "Tally.h"
#include "TallyManager.h"

namespace vorn::tally::test {

void TallyTest::SetUp() {
    // Set before any of the client's threads run; they are joined again in TearDown.
    ::setenv("XDG_CACHE_HOME", (temp / "cache").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (temp / "config").c_str(), 1);
    time = std::make_shared<VirtualTimeSource>();
    system::setTimeSource(time);
    mainQueue = std::make_shared<vorn::test::ManualExecutor>();
    system::setMainExecutor(mainQueue);
    TallyManager::setSignalManagerFactory(managers.factory());
}

void TallyTest::TearDown() {
    Tally::terminate();
    settle();
    system::shutdownDispatch();
    TallyManager::setSignalManagerFactory(nullptr);
    setSessionStatistics(nullptr);
    setDefaultPayloadProvider(nullptr);
    setHostTraits({});
    setApplicationInfo({});
    system::setUtcOffsetOverride(nullptr);
    system::setMainExecutor(nullptr);
    system::setTimeSource(nullptr);
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
}

std::shared_ptr<TallyConfiguration> TallyTest::makeConfiguration(const std::string& appID) {
    auto configuration = std::make_shared<TallyConfiguration>(appID);
    configuration->setLogHandler(log.handler());
    return configuration;
}

void TallyTest::settle() {
    do {
        system::waitForGlobalUtilityQueue();
    } while (mainQueue->drain() > 0);
}

std::shared_ptr<RecordingSignalManager> TallyTest::installedManager() const {
    return std::dynamic_pointer_cast<RecordingSignalManager>(
        TallyManager::shared()->signalManager());
}

}  // namespace vorn::tally::test
