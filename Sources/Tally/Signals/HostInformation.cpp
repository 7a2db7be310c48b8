#include "Signals/HostInformation.h"

#include <mutex>

namespace vorn::tally {
namespace {

struct Slot {
    std::mutex mutex;
    ApplicationInfo application;
    HostTraits traits;
};

Slot& slot() {
    static auto* s = new Slot;
    return *s;
}

}  // namespace

ApplicationInfo applicationInfo() {
    std::lock_guard lock(slot().mutex);
    return slot().application;
}

void setApplicationInfo(ApplicationInfo info) {
    std::lock_guard lock(slot().mutex);
    slot().application = std::move(info);
}

HostTraits hostTraits() {
    std::lock_guard lock(slot().mutex);
    return slot().traits;
}

void setHostTraits(HostTraits traits) {
    std::lock_guard lock(slot().mutex);
    slot().traits = std::move(traits);
}

}  // namespace vorn::tally
