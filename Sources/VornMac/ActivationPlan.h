#pragma once

#include <string_view>

namespace vorn {

// How a window is brought forward.
enum class ActivationPlan {
    // Through the optional focus entry points, then raised through accessibility.
    skyLightFront,
    // Un-minimised and raised through accessibility, and its application activated.
    fallback
};

std::string_view activationPlanName(ActivationPlan plan);

}  // namespace vorn
