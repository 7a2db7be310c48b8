#include "ActivationPolicy.h"

namespace vorn::updates {
namespace {

ActivationPolicy& current() {
    static ActivationPolicy policy = ActivationPolicy::accessory;
    return policy;
}

}  // namespace

ActivationPolicy activationPolicy() {
    return current();
}

void setActivationPolicy(ActivationPolicy policy) {
    current() = policy;
}

}  // namespace vorn::updates
