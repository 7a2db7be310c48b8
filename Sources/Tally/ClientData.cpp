#include "ClientData.h"

#include <filesystem>
#include <system_error>

#include "FileIO.h"
#include "PirateMetrics/SessionStatistics.h"
#include "Signals/SignalCache.h"
#include "Tally.h"
#include "TallyManager.h"

namespace vorn::tally {

void ClientData::terminateAndErase() {
    const auto manager = TallyManager::isInitialized() ? TallyManager::shared() : nullptr;
    // Named after the installed client, so looked up before it goes.
    const auto suite = Tally::customDefaults();
    Tally::terminate();
    if (manager) {
        manager->signalManager()->discardPendingSignals();
    } else if (const auto file = SignalCache::defaultFileURL()) {
        std::error_code ignored;
        std::filesystem::remove(*file, ignored);
        fileio::removeStaleTemporaries(*file);
    }
    // The statistics hold their sessions in memory and would write them back.
    setSessionStatistics(nullptr);
    if (suite) {
        suite->clear();
    }
}

}  // namespace vorn::tally
