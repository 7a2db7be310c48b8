#include "Signals/DefaultPayloadProvider.h"

#include "Signals/DefaultSignalPayload.h"
#include "System/SharedSlot.h"

namespace vorn::tally {
namespace {

struct InstalledProvider;

}  // namespace

Parameters defaultSignalPayload() {
    const auto provider =
        system::processSlot<const DefaultPayloadProvider, InstalledProvider>().current();
    return provider ? (*provider)() : DefaultSignalPayload::parameters();
}

void setDefaultPayloadProvider(DefaultPayloadProvider provider) {
    system::processSlot<const DefaultPayloadProvider, InstalledProvider>().set(
        system::sharedFunction(std::move(provider)));
}

}  // namespace vorn::tally
