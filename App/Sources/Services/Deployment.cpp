#include "Deployment.h"

#include "BundleInfo.h"

namespace vorn {

DeploymentConstants DeploymentConstants::current() {
    return {bundle::crashDSN, bundle::tallyAppID, bundle::tallyBaseURL};
}

}  // namespace vorn
