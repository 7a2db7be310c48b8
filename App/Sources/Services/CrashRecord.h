#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // Return addresses, innermost first.
    std::vector<std::uint64_t> frames;

    // None when the text is not a record.
    static std::optional<CrashRecord> parse(std::string_view text);
};

// The records waiting in the directory, oldest first.
std::vector<std::filesystem::path> pendingCrashRecords(const std::filesystem::path& directory);

// Deletes the waiting records and what an interrupted write left; returns how many records.
std::size_t removeCrashRecords(const std::filesystem::path& directory);

}  // namespace vorn
