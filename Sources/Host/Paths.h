#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vorn::host {

// An XDG base directory: the variable's value when it is an absolute path, else the fallback
// below the home directory; no value without either.
std::optional<std::filesystem::path> xdgDirectory(const char* variableValue,
                                                  const char* home,
                                                  const std::filesystem::path& fallbackBelowHome);

// $XDG_CACHE_HOME, default ~/.cache. Not created.
std::optional<std::filesystem::path> cachesDirectory();
// $XDG_CONFIG_HOME, default ~/.config. Not created.
std::optional<std::filesystem::path> configDirectory();

// The running program's short name, for folders of its own ("app" when it has none).
std::string applicationFolderName();

}  // namespace vorn::host
