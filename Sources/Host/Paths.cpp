#include "Paths.h"

#include <cerrno>
#include <cstdlib>

namespace vorn::host {

std::optional<std::filesystem::path> xdgDirectory(const char* variableValue,
                                                  const char* home,
                                                  const std::filesystem::path& fallbackBelowHome) {
    // A relative value is invalid by the XDG rules and must be ignored.
    if (variableValue != nullptr && variableValue[0] == '/') {
        return std::filesystem::path(variableValue);
    }
    if (home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / fallbackBelowHome;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> cachesDirectory() {
    return xdgDirectory(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"), ".cache");
}

std::optional<std::filesystem::path> configDirectory() {
    return xdgDirectory(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), ".config");
}

std::string applicationFolderName() {
    std::string name = program_invocation_short_name;
    if (name.empty() || name == "." || name == "..") {
        return "app";
    }
    return name;
}

}  // namespace vorn::host
