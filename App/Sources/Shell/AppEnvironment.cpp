#include "AppEnvironment.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace vorn::app {
namespace {

std::filesystem::path homeDirectory(const AppEnvironment::Lookup& environment) {
    const char* home = environment("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

}  // namespace

std::filesystem::path AppEnvironment::dataDirectory(const Lookup& environment) {
    const char* override = environment("VORN_DATA_DIR");
    if (override != nullptr && override[0] != '\0') {
        return override;
    }
    std::filesystem::path base;
    // Relative values are invalid by the XDG rules and are ignored.
    const char* dataHome = environment("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else {
        base = homeDirectory(environment) / ".local" / "share";
    }
    return base / "Vorn";
}

std::filesystem::path AppEnvironment::dataDirectory() {
    return dataDirectory([](const char* name) { return std::getenv(name); });
}

}  // namespace vorn::app
