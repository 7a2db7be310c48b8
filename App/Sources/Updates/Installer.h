#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "UpdateError.h"

namespace vorn::updates {

// Where a verified package may go. The engine never replaces a file it does not own and
// never asks for privileges.
struct InstallTargets {
    // The single-file image the program runs from, when it may replace it.
    std::optional<std::filesystem::path> appImage;
    // Where a package the user installs is left.
    std::filesystem::path downloadDirectory;

    // From the environment: APPIMAGE when it names a regular file that this user owns and may
    // write, in a folder the user may write; the download folder from XDG_DOWNLOAD_DIR, else
    // the user's configured one, else ~/Downloads.
    static InstallTargets current();
};

struct Installation {
    enum class Kind {
        replacedAppImage,  // the program's image now holds the new version; a restart uses it
        savedPackage,      // the package waits in the download folder for the user
    };
    Kind kind = Kind::savedPackage;
    std::filesystem::path path;  // the image replaced, or the package saved
};

struct InstallOutcome {
    std::optional<Installation> installation;
    std::optional<UpdateError> error;  // the cause below an installError
};

// Puts the verified package in place: replaces the image atomically (keeping its mode), else
// moves the package into the download folder under a name not yet taken there, derived from
// suggestedName. The package is gone from its place afterwards only when it was moved.
InstallOutcome installPackage(const std::filesystem::path& package,
                              const InstallTargets& targets,
                              std::string_view suggestedName);

// A file name for the package from the last part of its address, without anything a file
// name cannot hold; the fallback when nothing usable is left.
std::string packageFileName(std::string_view url, std::string_view fallback);

}  // namespace vorn::updates
