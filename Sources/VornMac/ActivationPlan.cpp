#include "ActivationPlan.h"

namespace vorn {

std::string_view activationPlanName(ActivationPlan plan) {
    switch (plan) {
        case ActivationPlan::skyLightFront:
            return "skyLightFront";
        case ActivationPlan::fallback:
            return "fallback";
    }
    return "fallback";
}

}  // namespace vorn
