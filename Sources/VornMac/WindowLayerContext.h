#pragma once

#include "AXPrivate.h"
#include "Services.h"

namespace vorn {

// What the window layer's parts share: the platform and the process's optional entry points.
// Both outlive everything that holds the context.
struct WindowLayerContext {
    platform::Services platform;
    AXPrivate& privateCalls;
};

}  // namespace vorn
