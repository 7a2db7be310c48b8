#pragma once

#include <functional>

#include "Date.h"

namespace vorn::tally::system {

// The local time zone's offset from UTC at the moment, in seconds, east positive.
int utcOffsetSeconds(Date at);

// Replaces the local time zone (tests fix it this way); null restores the system's.
void setUtcOffsetOverride(std::function<int(Date)> offset);

}  // namespace vorn::tally::system
