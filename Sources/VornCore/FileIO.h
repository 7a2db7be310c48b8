#pragma once

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace vorn::fileio {

// The steps of a durable atomic write, in the order they run, and the stores' other file steps.
enum class WriteStep {
    createDirectory,
    createTemporary,
    write,
    sync,
    close,
    rename,
    syncDirectory,
    read,       // reading a file the store decides on
    moveAside,  // renaming a file out of the way
};

std::string_view name(WriteStep step);

// Lets tests fail one step: returns true for the step that should fail.
using FaultInjector = std::function<bool(WriteStep)>;

struct WriteResult {
    // The new content is at the target (or the rename was made).
    bool ok = false;
    // What failed, for the log; on success, what kept the result from being durable.
    std::string error;
    // The step that failed and its error number, to tell one lasting fault from another.
    WriteStep step = WriteStep::write;
    int code = 0;
    // False when the directory could not be synced after the rename: the content is in place
    // but may not survive a power cut.
    bool durable = true;
};

struct ReadResult {
    std::optional<std::string> bytes;
    // The error number of the failure: ENOENT when nothing is there, EINVAL for something that
    // is not a regular file (a FIFO, a device, a directory).
    int error = 0;

    bool exists() const { return bytes.has_value() || error != ENOENT; }
};

// Reads a whole regular file. Opens without blocking, so that a FIFO or a device in its place
// cannot hang the caller, and refuses anything that is not a regular file.
ReadResult readRegularFile(const std::filesystem::path& path);

// The whole file, or no value when it cannot be read (missing, not a regular file, no permission).
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

// Renames without replacing anything at the destination (EEXIST then); needs no permission to
// read the file itself.
WriteResult renameWithoutReplacing(const std::filesystem::path& from,
                                   const std::filesystem::path& to,
                                   const FaultInjector& fault = {});

struct ModeChange {
    mode_t before = 0;
    mode_t after = 0;

    // "mode 0644 -> 0600", for a log line.
    std::string description() const;
};

// Gives a file 0600 and a directory 0700 when this user owns it and it has another mode; what
// changed, when something did. Symbolic links and what others own are left alone.
std::optional<ModeChange> makePrivate(const std::filesystem::path& path);

// Removes temporary files that an interrupted write of the target left behind.
void removeStaleTemporaries(const std::filesystem::path& target);

bool exists(const std::filesystem::path& path);

}  // namespace vorn::fileio
