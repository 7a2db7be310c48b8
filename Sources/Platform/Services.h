#pragma once

#include "Accessibility.h"
#include "EntryPoints.h"
#include "ProcessInfo.h"
#include "RunLoop.h"
#include "Screens.h"
#include "WindowServer.h"
#include "Workspace.h"

namespace vorn::platform {

// Everything the window layer reaches the platform through. The owner of the backend keeps each
// part alive for as long as the window layer runs.
struct Services {
    WindowServer& windowServer;
    Accessibility& accessibility;
    Workspace& workspace;
    Screens& screens;
    EntryPointLoader& loader;
    ProcessInfo& process;
    RunLoop& runLoop;
};

}  // namespace vorn::platform
