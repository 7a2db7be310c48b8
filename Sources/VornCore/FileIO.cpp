#include "FileIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::fileio {
namespace {

std::string temporaryPrefix(const std::filesystem::path& target) {
    std::string prefix = ".";
    prefix += target.filename().string();
    prefix += ".tmp-";
    return prefix;
}

WriteResult failure(WriteStep step, const std::filesystem::path& path, int error) {
    WriteResult result;
    result.error = std::string(name(step)) + " " + path.string() + ": " + std::strerror(error);
    result.step = step;
    result.code = error;
    return result;
}

bool injected(const FaultInjector& fault, WriteStep step) {
    return fault && fault(step);
}

}  // namespace

std::string_view name(WriteStep step) {
    switch (step) {
        case WriteStep::createDirectory:
            return "create directory";
        case WriteStep::createTemporary:
            return "create temporary file";
        case WriteStep::write:
            return "write";
        case WriteStep::sync:
            return "sync";
        case WriteStep::close:
            return "close";
        case WriteStep::rename:
            return "rename";
        case WriteStep::syncDirectory:
            return "sync directory";
        case WriteStep::read:
            return "read";
        case WriteStep::moveAside:
            return "move aside";
    }
    return "write";
}

ReadResult readRegularFile(const std::filesystem::path& path) {
    ReadResult result;
    // Without O_NONBLOCK, opening a FIFO waits for a writer forever, deaf to SIGTERM.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.error = EINVAL;
        ::close(fd);
        return result;
    }
    std::string bytes;
    // Read at once into its final size; a file that grows meanwhile still reads whole.
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = errno;
            ::close(fd);
            return result;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    result.bytes = std::move(bytes);
    return result;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    return readRegularFile(path).bytes;
}

WriteResult createDirectories(const std::filesystem::path& directory,
                              mode_t mode,
                              const FaultInjector& fault) {
    if (injected(fault, WriteStep::createDirectory)) {
        return failure(WriteStep::createDirectory, directory, EACCES);
    }
    if (directory.empty()) {
        WriteResult done;
        done.ok = true;
        return done;
    }
    // Walk down from the root, creating what is missing; an existing directory is fine, an
    // existing file is not.
    std::filesystem::path current;
    for (const auto& part : directory) {
        current /= part;
        struct stat info {};
        if (::stat(current.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) {
                return failure(WriteStep::createDirectory, current, ENOTDIR);
            }
            continue;
        }
        if (::mkdir(current.c_str(), mode) != 0 && errno != EEXIST) {
            return failure(WriteStep::createDirectory, current, errno);
        }
    }
    WriteResult done;
    done.ok = true;
    return done;
}

WriteResult writeAtomically(const std::filesystem::path& target,
                            std::string_view bytes,
                            const FaultInjector& fault) {
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (directory / (temporaryPrefix(target) + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    if (injected(fault, WriteStep::createTemporary)) {
        return failure(WriteStep::createTemporary, directory, EACCES);
    }
    // mkstemp opens with O_EXCL and mode 0600.
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return failure(WriteStep::createTemporary, directory, errno);
    }
    const std::filesystem::path temporary(name.data());
    const auto abandon = [&](WriteStep step, int error) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        return failure(step, step == WriteStep::rename ? target : temporary, error);
    };

    std::size_t written = 0;
    while (written < bytes.size()) {
        if (injected(fault, WriteStep::write)) {
            return abandon(WriteStep::write, EIO);
        }
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return abandon(WriteStep::write, errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (bytes.empty() && injected(fault, WriteStep::write)) {
        return abandon(WriteStep::write, EIO);
    }
    if (injected(fault, WriteStep::sync)) {
        return abandon(WriteStep::sync, EIO);
    }
    if (::fsync(fd) != 0) {
        return abandon(WriteStep::sync, errno);
    }
    const bool closeInjected = injected(fault, WriteStep::close);
    const int closeResult = ::close(fd);
    const int closeError = errno;
    fd = -1;
    if (closeInjected || closeResult != 0) {
        return abandon(WriteStep::close, closeInjected ? EIO : closeError);
    }
    if (injected(fault, WriteStep::rename)) {
        return abandon(WriteStep::rename, EACCES);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return abandon(WriteStep::rename, errno);
    }
    // Renamed: the new content is in place whatever follows, so a failure now is only a doubt
    // about durability, not a failed write.
    const auto notDurable = [&](int error) {
        WriteResult result = failure(WriteStep::syncDirectory, directory, error);
        result.ok = true;
        result.durable = false;
        return result;
    };
    if (injected(fault, WriteStep::syncDirectory)) {
        return notDurable(EIO);
    }
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        return notDurable(errno);
    }
    const int syncResult = ::fsync(dirFd);
    const int syncError = errno;
    ::close(dirFd);
    if (syncResult != 0) {
        return notDurable(syncError);
    }
    WriteResult done;
    done.ok = true;
    return done;
}

WriteResult renameWithoutReplacing(const std::filesystem::path& from,
                                   const std::filesystem::path& to,
                                   const FaultInjector& fault) {
    if (injected(fault, WriteStep::moveAside)) {
        return failure(WriteStep::moveAside, from, EACCES);
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        const int error = errno;
        if (error != EINVAL && error != ENOSYS) {
            return failure(WriteStep::moveAside, from, error);
        }
        // A file system without the flag: test first, then rename.
        if (fileio::exists(to)) {
            return failure(WriteStep::moveAside, to, EEXIST);
        }
        if (::rename(from.c_str(), to.c_str()) != 0) {
            return failure(WriteStep::moveAside, from, errno);
        }
    }
    WriteResult done;
    done.ok = true;
    return done;
}

std::string ModeChange::description() const {
    char text[32];
    std::snprintf(text, sizeof text, "mode %04o -> %04o", static_cast<unsigned>(before),
                  static_cast<unsigned>(after));
    return text;
}

std::optional<ModeChange> makePrivate(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode) || info.st_uid != ::geteuid()) {
        return std::nullopt;
    }
    const mode_t mode = info.st_mode & 07777;
    const mode_t wanted = S_ISDIR(info.st_mode) ? 0700 : 0600;
    if (mode == wanted || ::chmod(path.c_str(), wanted) != 0) {
        return std::nullopt;
    }
    return ModeChange{mode, wanted};
}

void removeStaleTemporaries(const std::filesystem::path& target) {
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string prefix = temporaryPrefix(target);
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view entryName(entry->d_name);
        // The prefix plus mkstemp's six characters, and nothing else.
        if (entryName.size() == prefix.size() + 6 && entryName.substr(0, prefix.size()) == prefix) {
            stale.emplace_back(entryName);
        }
    }
    ::closedir(dir);
    for (const auto& entryName : stale) {
        ::unlink((directory / entryName).c_str());
    }
}

bool exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace vorn::fileio
