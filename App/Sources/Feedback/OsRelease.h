#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vorn::app {

// The system's name for people, such as "Debian GNU/Linux 12 (bookworm)": PRETTY_NAME of the
// first os-release file that names one, else "Linux".
std::string osPrettyName(const std::vector<std::filesystem::path>& files = {"/etc/os-release",
                                                                            "/usr/lib/os-release"});

// The value of one key of os-release text (shell-style assignments, values possibly quoted);
// empty when the key is missing.
std::string osReleaseValue(const std::string& text, const std::string& key);

}  // namespace vorn::app
