#include "Signals/DefaultPayloadProvider.h"

#include <mutex>

#include "Signals/DefaultSignalPayload.h"

namespace vorn::tally {
namespace {

struct Slot {
    std::mutex mutex;
    DefaultPayloadProvider provider;
};

Slot& slot() {
    static auto* s = new Slot;
    return *s;
}

}  // namespace

Parameters defaultSignalPayload() {
    DefaultPayloadProvider provider;
    {
        std::lock_guard lock(slot().mutex);
        provider = slot().provider;
    }
    return provider ? provider() : DefaultSignalPayload::parameters();
}

void setDefaultPayloadProvider(DefaultPayloadProvider provider) {
    std::lock_guard lock(slot().mutex);
    slot().provider = std::move(provider);
}

}  // namespace vorn::tally
