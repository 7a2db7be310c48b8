#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "LoadedModules.h"

namespace vorn {

// A crash as the crash handler recorded it.
struct CrashRecord {
    // "signal" or "exception".
    std::string kind;
    // The signal's name, such as SIGSEGV, or the exception's type.
    std::string type;
    int signal = 0;
    // Seconds since 1970.
    double timestamp = 0;
    std::string release;
    std::string environment;
    // Innermost first: the instruction that crashed, then return addresses.
    std::vector<std::uint64_t> frames;
    // The modules loaded when crash reporting started, the executable first.
    std::vector<LoadedModule> modules;

    // None when the text is not a record.
    static std::optional<CrashRecord> parse(std::string_view text);
};

// The records waiting in the directory, oldest first by name (the time of the crash).
std::vector<std::filesystem::path> pendingCrashRecords(const std::filesystem::path& directory);

// Deletes the waiting records and what an interrupted write left; returns how many records.
std::size_t removeCrashRecords(const std::filesystem::path& directory);

}  // namespace vorn
