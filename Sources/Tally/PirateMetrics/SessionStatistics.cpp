#include "PirateMetrics/SessionStatistics.h"

#include "PirateMetrics/SessionManager.h"
#include "System/SharedSlot.h"

namespace vorn::tally {

std::shared_ptr<SessionStatistics> sessionStatistics() {
    // The slot makes one at a time: each creation adds the sessions it prunes to the stored
    // count, so a second one would count them twice.
    return system::processSlot<SessionStatistics>().get(&SessionManager::create);
}

void setSessionStatistics(std::shared_ptr<SessionStatistics> statistics) {
    // Released outside the slot's lock: a manager's teardown waits for its handlers.
    system::processSlot<SessionStatistics>().set(std::move(statistics));
}

}  // namespace vorn::tally
