#include "System/TimeZone.h"

#include <cmath>
#include <ctime>

#include "System/SharedSlot.h"

namespace vorn::tally::system {
namespace {

using Offset = std::function<int(Date)>;
struct OffsetOverride;

// Offsets beyond a day are not real time zones; such an answer is taken as UTC.
constexpr long longestOffset = 86400;

int systemOffset(Date at) {
    const double unix = std::floor(at.unixSeconds());
    if (!std::isfinite(unix)) {
        return 0;
    }
    const auto seconds = static_cast<std::time_t>(unix);
    std::tm parts{};
    if (::localtime_r(&seconds, &parts) == nullptr) {
        return 0;
    }
    if (parts.tm_gmtoff <= -longestOffset || parts.tm_gmtoff >= longestOffset) {
        return 0;
    }
    return static_cast<int>(parts.tm_gmtoff);
}

}  // namespace

int utcOffsetSeconds(Date at) {
    const auto offset = processSlot<const Offset, OffsetOverride>().current();
    return offset ? (*offset)(at) : systemOffset(at);
}

void setUtcOffsetOverride(Offset offset) {
    processSlot<const Offset, OffsetOverride>().set(sharedFunction(std::move(offset)));
}

}  // namespace vorn::tally::system
