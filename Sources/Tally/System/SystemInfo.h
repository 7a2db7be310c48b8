#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::tally::system {

// What uname reports; empty texts when it fails.
struct KernelInfo {
    std::string release;  // such as 6.1.0-18-amd64
    std::string machine;  // such as x86_64
};

KernelInfo kernelInfo();

// The major, minor and patch numbers at the start of a kernel release; missing parts are 0.
struct VersionNumbers {
    long major = 0;
    long minor = 0;
    long patch = 0;
};

VersionNumbers kernelVersion(std::string_view release);

// The processor architecture this program was built for, such as x86_64 or aarch64.
std::string_view buildArchitecture();

// The machine's model from the firmware below root: the device tree's model, else the DMI
// product name. None when neither holds readable text.
std::optional<std::string> firmwareModelName(const std::filesystem::path& root = "/");

}  // namespace vorn::tally::system
