#include "InstanceLock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "FileIO.h"
#include "Log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {
namespace {

using DirectoryKey = std::pair<dev_t, ino_t>;

struct Registry {
    std::mutex mutex;
    std::vector<DirectoryKey> held;
};

Registry& registry() {
    static Registry r;
    return r;
}

std::optional<DirectoryKey> keyOf(const std::filesystem::path& directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return DirectoryKey{info.st_dev, info.st_ino};
}

}  // namespace

InstanceLock::Result InstanceLock::acquire(const std::filesystem::path& directory) {
    Result result;
    const auto created = fileio::createDirectories(directory, 0700);
    if (!created.ok) {
        result.error = created.error;
        return result;
    }
    // A directory made by hand or by another program may be open to others; it holds the
    // user's tabs and titles.
    if (const auto changed = fileio::makePrivate(directory)) {
        vornStoreLog().notice("data directory made private ", changed->description(),
                              " path=", directory.string());
    }
    const std::filesystem::path file = directory / fileName;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        result.error = "open " + file.string() + ": " + std::strerror(errno);
        return result;
    }
    int locked = 0;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            result.outcome = Outcome::heldElsewhere;
        } else {
            result.error = "flock " + file.string() + ": " + std::strerror(error);
        }
        return result;
    }
    const auto key = keyOf(directory);
    if (key) {
        std::lock_guard guard(registry().mutex);
        registry().held.push_back(*key);
    }
    result.outcome = Outcome::acquired;
    result.lock.reset(new InstanceLock(directory, fd, key));
    return result;
}

bool InstanceLock::heldFor(const std::filesystem::path& directory) {
    const auto key = keyOf(directory);
    if (!key) {
        return false;
    }
    std::lock_guard guard(registry().mutex);
    const auto& held = registry().held;
    return std::find(held.begin(), held.end(), *key) != held.end();
}

InstanceLock::InstanceLock(std::filesystem::path directory,
                           int fd,
                           std::optional<std::pair<dev_t, ino_t>> key)
    : m_directory(std::move(directory))
    , m_fd(fd)
    , m_key(key) {}

InstanceLock::~InstanceLock() {
    if (m_key) {
        std::lock_guard guard(registry().mutex);
        auto& held = registry().held;
        if (const auto it = std::find(held.begin(), held.end(), *m_key); it != held.end()) {
            held.erase(it);
        }
    }
    // Closing the only descriptor releases the lock.
    ::close(m_fd);
}

}  // namespace vorn
