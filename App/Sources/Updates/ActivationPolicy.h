#pragma once

namespace vorn::updates {

// How the program shows on the desktop: an accessory keeps its windows out of the taskbar, a
// regular application shows them there. Main thread only; accessory until changed.
enum class ActivationPolicy {
    accessory,
    regular,
};

ActivationPolicy activationPolicy();
void setActivationPolicy(ActivationPolicy policy);

}  // namespace vorn::updates
