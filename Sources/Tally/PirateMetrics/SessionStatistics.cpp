#include "PirateMetrics/SessionStatistics.h"

#include <mutex>

#include "PirateMetrics/SessionManager.h"

namespace vorn::tally {
namespace {

std::mutex& slotMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<SessionStatistics>& slot() {
    static auto* statistics = new std::shared_ptr<SessionStatistics>;
    return *statistics;
}

std::shared_ptr<SessionStatistics> installed() {
    std::lock_guard lock(slotMutex());
    return slot();
}

}  // namespace

std::shared_ptr<SessionStatistics> sessionStatistics() {
    if (auto statistics = installed()) {
        return statistics;
    }
    // One creation at a time: each creation adds the sessions it prunes to the stored count, so
    // a second one would count them twice. The slot's own lock stays free meanwhile, since
    // creation reads the settings suite and may log.
    static auto* creationMutex = new std::mutex;
    std::lock_guard creating(*creationMutex);
    if (auto statistics = installed()) {
        return statistics;
    }
    std::shared_ptr<SessionStatistics> created = SessionManager::create();
    std::lock_guard lock(slotMutex());
    if (!slot()) {
        slot() = created;
    }
    return slot();
}

void setSessionStatistics(std::shared_ptr<SessionStatistics> statistics) {
    std::shared_ptr<SessionStatistics> replaced;
    {
        std::lock_guard lock(slotMutex());
        replaced = std::move(slot());
        slot() = std::move(statistics);
    }
    // Released outside the lock: a manager's teardown waits for its handlers.
    replaced.reset();
}

}  // namespace vorn::tally
