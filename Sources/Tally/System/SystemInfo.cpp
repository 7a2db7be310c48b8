#include "System/SystemInfo.h"

#include <charconv>

#include "FileIO.h"
#include "JSON.h"

#include <sys/utsname.h>

namespace vorn::tally::system {
namespace {

// Text from a firmware file: up to the first zero byte, without surrounding white space; none
// when that is empty or not valid UTF-8.
std::optional<std::string> firmwareText(const std::filesystem::path& file) {
    auto bytes = fileio::readFile(file);
    if (!bytes) {
        return std::nullopt;
    }
    std::string text = bytes->substr(0, bytes->find('\0'));
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (json::sanitizeUTF8(text) != text) {
        return std::nullopt;
    }
    return text;
}

std::string fieldText(const char* field, std::size_t size) {
    std::size_t length = 0;
    while (length < size && field[length] != '\0') {
        ++length;
    }
    return json::sanitizeUTF8(std::string_view(field, length));
}

}  // namespace

KernelInfo kernelInfo() {
    struct utsname names {};
    if (::uname(&names) != 0) {
        return {};
    }
    return {fieldText(names.release, sizeof names.release),
            fieldText(names.machine, sizeof names.machine)};
}

VersionNumbers kernelVersion(std::string_view release) {
    long parts[3] = {0, 0, 0};
    const char* at = release.data();
    const char* end = release.data() + release.size();
    for (int i = 0; i < 3 && at < end; ++i) {
        long value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || value < 0) {
            break;
        }
        parts[i] = value;
        if (next == end || *next != '.') {
            break;
        }
        at = next + 1;
    }
    return {parts[0], parts[1], parts[2]};
}

std::string_view buildArchitecture() {
#if defined(__x86_64__)
    return "x86_64";
#elif defined(__aarch64__)
    return "aarch64";
#elif defined(__i386__)
    return "i386";
#elif defined(__arm__)
    return "arm";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "ppc64le";
#elif defined(__s390x__)
    return "s390x";
#else
    return "unknown";
#endif
}

std::optional<std::string> firmwareModelName(const std::filesystem::path& root) {
    for (const char* file : {"sys/firmware/devicetree/base/model", "proc/device-tree/model",
                             "sys/class/dmi/id/product_name"}) {
        if (auto text = firmwareText(root / file)) {
            return text;
        }
    }
    return std::nullopt;
}

}  // namespace vorn::tally::system
