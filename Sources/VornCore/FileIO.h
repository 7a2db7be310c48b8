#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace vorn::fileio {

// The steps of a durable atomic write, in the order they run.
enum class WriteStep {
    createDirectory,
    createTemporary,
    write,
    sync,
    close,
    rename,
    syncDirectory,
};

std::string_view name(WriteStep step);

// Lets tests fail one step: returns true for the step that should fail.
using FaultInjector = std::function<bool(WriteStep)>;

struct WriteResult {
    bool ok = false;
    std::string error;  // what failed, for the log; empty on success
};

// The whole file, or no value when it cannot be read (missing, a directory, no permission).
std::optional<std::string> readFile(const std::filesystem::path& path);

// Creates the directory and any missing parents with the given mode.
WriteResult createDirectories(const std::filesystem::path& directory,
                              mode_t mode = 0700,
                              const FaultInjector& fault = {});

// Writes the bytes to a temporary file created exclusively beside the target (mode 0600),
// syncs and closes it, renames it over the target and syncs the directory. Either the old or
// the new content is at the target afterwards, and no temporary file is left after a failure.
// A failure at the last step means the new content is in place but may not be durable.
WriteResult writeAtomically(const std::filesystem::path& target,
                            std::string_view bytes,
                            const FaultInjector& fault = {});

// Removes temporary files that an interrupted write of the target left behind.
void removeStaleTemporaries(const std::filesystem::path& target);

bool exists(const std::filesystem::path& path);

}  // namespace vorn::fileio
