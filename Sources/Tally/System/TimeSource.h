#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Date.h"

namespace vorn::tally::system {

// The analytics client's notion of time: the current date and deferred work. Tests install a
// virtual source so that delays pass without waiting.
class TimeSource {
public:
    virtual ~TimeSource() = default;

    virtual Date now() = 0;
    // Calls fire once, on a thread of the source's choosing, after delaySeconds. fire must only
    // hand work on (post to a queue), never block. Returns a ticket for cancel().
    virtual std::uint64_t schedule(double delaySeconds, std::function<void()> fire) = 0;
    // Forgets a scheduled call that has not fired yet; unknown tickets are ignored.
    virtual void cancel(std::uint64_t ticket) = 0;
};

// The installed source; the system clock with a timer thread unless a test replaced it.
std::shared_ptr<TimeSource> timeSource();
// Installs a source; null restores the system one. Timers of the previous source stay with it.
void setTimeSource(std::shared_ptr<TimeSource> source);

// The installed source's current date.
Date now();

// Stops the system source's timer thread, dropping its pending calls. Later schedules start it
// again.
void stopSystemTimers();

}  // namespace vorn::tally::system
