#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "ClientList.h"
#include "DesktopEntries.h"
#include "Text.h"

namespace vorn::platform::x11 {

// Who an application is, judged from one of its windows.
struct AppIdentity {
    // The desktop entry's id when one matches, else the WM_CLASS class; no value without either.
    std::optional<std::string> bundleID;
    // The desktop entry's name, else the class.
    std::optional<std::string> name;

    friend bool operator==(const AppIdentity&, const AppIdentity&) = default;
};

// Identifiers and names taken from a window are cut to this many bytes (on a character
// boundary), as the state file's identifiers are.
inline constexpr std::size_t maxIdentifierBytes = text::longestKeptIdentifier;

// The entry named by _GTK_APPLICATION_ID, else by _KDE_NET_WM_DESKTOP_FILE, else the one that
// matches WM_CLASS; the class alone without any.
AppIdentity identify(const ClientWindow& window, DesktopEntryIndex& entries);

}  // namespace vorn::platform::x11
