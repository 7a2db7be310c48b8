#include "Deployment.h"

#include "BuildSettings.h"

namespace vorn {

DeploymentConstants DeploymentConstants::current() {
    return {VORN_CRASH_DSN, VORN_TALLY_APP_ID, VORN_TALLY_BASE_URL};
}

}  // namespace vorn
