#include "Accessibility.h"
#include "Workspace.h"

namespace vorn::platform {

std::string_view statusName(AXStatus status) {
    switch (status) {
        case AXStatus::success:
            return "success";
        case AXStatus::failure:
            return "failure";
        case AXStatus::illegalArgument:
            return "illegalArgument";
        case AXStatus::invalidElement:
            return "invalidElement";
        case AXStatus::cannotComplete:
            return "cannotComplete";
        case AXStatus::attributeUnsupported:
            return "attributeUnsupported";
        case AXStatus::actionUnsupported:
            return "actionUnsupported";
        case AXStatus::noValue:
            return "noValue";
        case AXStatus::notTrusted:
            return "notTrusted";
    }
    return "failure";
}

std::string_view notificationName(WorkspaceNotification notification) {
    switch (notification) {
        case WorkspaceNotification::didActivateApplication:
            return "didActivateApplication";
        case WorkspaceNotification::didLaunchApplication:
            return "didLaunchApplication";
        case WorkspaceNotification::didTerminateApplication:
            return "didTerminateApplication";
        case WorkspaceNotification::activeSpaceDidChange:
            return "activeSpaceDidChange";
        case WorkspaceNotification::windowsDidChange:
            return "windowsDidChange";
    }
    return "didActivateApplication";
}

}  // namespace vorn::platform
