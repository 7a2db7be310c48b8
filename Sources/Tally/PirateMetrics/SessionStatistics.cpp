#include "PirateMetrics/SessionStatistics.h"

#include <mutex>

namespace vorn::tally {
namespace {

std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<SessionStatistics>& slot() {
    static auto* statistics = new std::shared_ptr<SessionStatistics>;
    return *statistics;
}

}  // namespace

std::shared_ptr<SessionStatistics> sessionStatistics() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void setSessionStatistics(std::shared_ptr<SessionStatistics> statistics) {
    std::lock_guard lock(slotMutex());
    slot() = std::move(statistics);
}

}  // namespace vorn::tally
