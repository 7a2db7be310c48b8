#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Date.h"

namespace vorn::platform {

struct RunningApplication {
    std::int32_t pid = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

enum class WorkspaceNotification {
    didActivateApplication,
    didLaunchApplication,
    didTerminateApplication,
    activeSpaceDidChange,
    // Something that a window list shows changed (a title, a frame, a window came or went)
    // and none of the notifications above tells of it. One notification may stand for many
    // changes that arrived together.
    windowsDidChange
};

std::string_view notificationName(WorkspaceNotification notification);

struct WorkspaceEvent {
    WorkspaceNotification name = WorkspaceNotification::didActivateApplication;
    // The application concerned; absent for desktop changes and when the system gave none.
    std::optional<RunningApplication> application;
    // For an activation: the window that became active, when the system tells it. Focus moving
    // between two windows of one application is then an activation too.
    std::optional<std::uint32_t> window;
};

struct OpenConfiguration {
    bool activates = false;
};

using ObserverToken = std::uint64_t;

// Running applications, launching them and opening documents, and the workspace's
// notifications.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The running applications with exactly this bundle identifier, in the system's order.
    virtual std::vector<RunningApplication> runningApplications(std::string_view bundleId) = 0;
    virtual std::optional<RunningApplication> runningApplication(std::int32_t pid) = 0;
    // When the process started, by the wall clock; no value when that cannot be told.
    virtual std::optional<Date> launchDate(std::int32_t pid) = 0;
    // The application whose window has the keyboard; no value when none has it or it cannot
    // be told.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // Brings the application forward with no options; false when it is not running.
    virtual bool activateApplication(std::int32_t pid) = 0;

    // Where the application with this bundle identifier is installed (a URL string); no value
    // when it is unknown.
    virtual std::optional<std::string> urlForApplication(std::string_view bundleId) = 0;
    // Launches the application, or activates it when it runs. Returns at once.
    virtual void openApplication(const std::string& applicationURL, OpenConfiguration config) = 0;
    // Opens the documents (URL strings) with the application. Returns at once.
    virtual void openURLs(const std::vector<std::string>& urls,
                          const std::string& applicationURL,
                          OpenConfiguration config) = 0;

    virtual bool isVoiceOverEnabled() = 0;
    // Whether the notifications tell of every change a window list shows (windowsDidChange
    // included), so that a list stays true until the next one arrives.
    virtual bool notifiesEveryWindowChange() = 0;

    // Calls the observer on the main thread for each such notification until removed.
    virtual ObserverToken addObserver(WorkspaceNotification name,
                                      std::function<void(const WorkspaceEvent&)> observer) = 0;
    // A notification already on its way to a removed observer is not delivered.
    virtual void removeObserver(ObserverToken token) = 0;
};

}  // namespace vorn::platform
