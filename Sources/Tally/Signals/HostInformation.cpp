#include "Signals/HostInformation.h"

#include <mutex>

namespace vorn::tally {
namespace {

struct Slot {
    std::mutex mutex;
    ApplicationInfo application;
    std::shared_ptr<HostTraitsProvider> traits;
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

std::shared_ptr<HostTraitsProvider> hostTraitsProvider() {
    std::lock_guard lock(slot().mutex);
    return slot().traits;
}

void setHostTraitsProvider(std::shared_ptr<HostTraitsProvider> provider) {
    std::lock_guard lock(slot().mutex);
    slot().traits = std::move(provider);
}

}  // namespace vorn::tally
