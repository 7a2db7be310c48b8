#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <sys/types.h>

namespace vorn {

// One program instance per data directory: an exclusive flock on "vorn.lock" inside it, held
// until the lock is destroyed (or the process ends, even by SIGKILL). Stores ask heldFor()
// before they clean up after other writers.
class InstanceLock {
public:
    enum class Outcome {
        acquired,
        heldElsewhere,  // another process holds it
        failed,         // the directory or the lock file could not be made or locked
    };

    struct Result {
        Outcome outcome = Outcome::failed;
        std::unique_ptr<InstanceLock> lock;  // set when acquired
        std::string error;                   // set when failed
    };

    static constexpr char fileName[] = "vorn.lock";

    // Creates the directory (0700) when needed, or makes it 0700 when the user owns it with
    // another mode (with a log line), and tries the lock without waiting.
    static Result acquire(const std::filesystem::path& directory);

    // Whether this process holds the lock of the directory (compared by device and inode).
    static bool heldFor(const std::filesystem::path& directory);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    const std::filesystem::path& directory() const { return m_directory; }

private:
    InstanceLock(std::filesystem::path directory,
                 int fd,
                 std::optional<std::pair<dev_t, ino_t>> key);

    std::filesystem::path m_directory;
    int m_fd;
    std::optional<std::pair<dev_t, ino_t>> m_key;
};

}  // namespace vorn
