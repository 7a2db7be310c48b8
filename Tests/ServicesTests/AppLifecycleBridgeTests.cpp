#include <gtest/gtest.h>

#include "AppLifecycleBridge.h"
#include "FileIO.h"
#include "Signals/SignalCache.h"
#include "Tally.h"
#include "TallyManager.h"
#include "TallyTestEnvironment.h"

namespace vorn {
namespace {

class AppLifecycleBridgeTests : public tally::test::TallyTest {};

TEST_F(AppLifecycleBridgeTests, QuittingWritesTheUnsentSignals) {
    tally::TallyManager::setSignalManagerFactory(nullptr);
    auto configuration = makeConfiguration();
    configuration->setSessionStatsEnabled(false);
    configuration->setSendNewSessionBeganSignal(false);
    tally::Tally::initialize(configuration);
    tally::Tally::signal("App.launched");
    tally::Tally::signal("Display.config", {{"displays", "1"}});
    settle();

    AppLifecycleBridge::willResignActive();
    AppLifecycleBridge::didBecomeActive();
    AppLifecycleBridge::willTerminate();

    const auto file = tally::SignalCache::defaultFileURL();
    ASSERT_TRUE(file);
    const auto written = tally::JSONDecoder{}.decodeArray(fileio::readFile(*file).value_or(""));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->records.size(), 2u);
}

}  // namespace
}  // namespace vorn
