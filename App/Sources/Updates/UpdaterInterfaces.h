#pragma once

#include <cstdint>
#include <functional>

#include "Appcast.h"
#include "Installer.h"
#include "UpdateError.h"

namespace vorn::updates {

// Whether the user asked for the check that led to what is shown.
struct UserUpdateState {
    bool userInitiated = false;
};

// The steps of an update cycle, told by the engine on the main thread.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    virtual void didFindValidUpdate(const AppcastItem& item) = 0;
    virtual void didNotFindUpdate(const UpdateError& error) = 0;
    virtual void didDownloadUpdate(const AppcastItem& item) = 0;
    virtual void failedToDownloadUpdate(const AppcastItem& item, const UpdateError& error) = 0;
    // The package's signature held: it is ready to be put in place.
    virtual void didExtractUpdate(const AppcastItem& item) = 0;
    virtual void willInstallUpdate(const AppcastItem& item) = 0;
    // The cycle ended without an installation; code noUpdateError when there was nothing new.
    virtual void didAbortWithError(const UpdateError& error) = 0;
};

// What the engine's windows tell the program, on the main thread.
class UserDriverDelegate {
public:
    virtual ~UserDriverDelegate() = default;
    // Whether an update found by a scheduled check may be shown without taking the focus.
    virtual bool supportsGentleScheduledUpdateReminders() const = 0;
    // The first window of an update session is about to be shown.
    virtual void willHandleShowingUpdate(bool handleShowingUpdate,
                                         const AppcastItem& item,
                                         const UserUpdateState& state) = 0;
    // The session's windows are about to close.
    virtual void willFinishUpdateSession() = 0;
};

enum class UpdateChoice {
    install,
    later,
};

// The engine's windows. Each reply is called at most once, on the main thread; the engine
// ignores replies of a session that has ended.
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    // Offers the update; reply with the user's choice.
    virtual void showUpdateFound(const AppcastItem& item,
                                 const UserUpdateState& state,
                                 std::function<void(UpdateChoice)> reply) = 0;
    // A check the user asked for found nothing newer.
    virtual void showUpdateNotFound(const UpdateError& error,
                                    std::function<void()> acknowledged) = 0;
    // A cycle the user started failed.
    virtual void showUpdaterError(const UpdateError& error, std::function<void()> acknowledged) = 0;
    // The download the user chose has started; cancel stops it and ends the session.
    virtual void showDownloadInitiated(std::function<void()> cancel) = 0;
    virtual void showDownloadProgress(std::uint64_t received, std::uint64_t expected) = 0;
    // The package is in place: offer to restart into it or to show it.
    virtual void showInstalled(const AppcastItem& item,
                               const Installation& installation,
                               const UserUpdateState& state,
                               std::function<void()> acknowledged) = 0;
    // This build names no update feed.
    virtual void showUpdatesUnavailable() = 0;
    // The user asked again while a session is on screen: bring it forward.
    virtual void showUpdateInFocus() = 0;
    // The session ended: close its windows.
    virtual void dismissUpdateInstallation() = 0;
};

}  // namespace vorn::updates
