#include "Signals/HostInformation.h"

#include "System/SharedSlot.h"

namespace vorn::tally {
namespace {

// What the slot holds, or T's default when nothing was handed over yet.
template <typename T>
T heldOrDefault() {
    const auto held = system::processSlot<const T>().current();
    return held ? *held : T{};
}

template <typename T>
void hold(T value) {
    system::processSlot<const T>().set(std::make_shared<const T>(std::move(value)));
}

}  // namespace

ApplicationInfo applicationInfo() {
    return heldOrDefault<ApplicationInfo>();
}

void setApplicationInfo(ApplicationInfo info) {
    hold(std::move(info));
}

HostTraits hostTraits() {
    return heldOrDefault<HostTraits>();
}

void setHostTraits(HostTraits traits) {
    hold(std::move(traits));
}

}  // namespace vorn::tally
