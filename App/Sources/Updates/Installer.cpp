#include "Installer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QStandardPaths>

#include "Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::updates {
namespace {

UpdateError posixError(int number, const std::string& what) {
    return UpdateError{"posix", number, what + ": " + std::strerror(number), nullptr};
}

// Copies the file's bytes into an open descriptor and syncs it; the errno of a failure, or 0.
int copyInto(const std::filesystem::path& from, int to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return errno;
    }
    char buffer[1 << 16];
    int failure = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            failure = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w < 0) {
                failure = errno;
                break;
            }
            done += w;
        }
        if (failure != 0) {
            break;
        }
    }
    ::close(in);
    if (failure == 0 && ::fsync(to) != 0) {
        failure = errno;
    }
    return failure;
}

void syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

InstallOutcome replaceAppImage(const std::filesystem::path& package,
                               const std::filesystem::path& image) {
    struct stat info {};
    if (::stat(image.c_str(), &info) != 0) {
        return {std::nullopt, posixError(errno, "the program's image cannot be read")};
    }
    // The new image is written beside the old one, so that the rename is atomic.
    std::string pattern = (image.parent_path() / ("." + image.filename().string() + ".XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return {std::nullopt, posixError(errno, "no new image can be made beside the old one")};
    }
    int failure = copyInto(package, fd);
    if (failure == 0 && ::fchmod(fd, info.st_mode & 07777) != 0) {
        failure = errno;
    }
    if (::close(fd) != 0 && failure == 0) {
        failure = errno;
    }
    if (failure == 0 && ::rename(pattern.c_str(), image.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(pattern.c_str());
        return {std::nullopt, posixError(failure, "the program's image cannot be replaced")};
    }
    syncDirectory(image.parent_path());
    std::filesystem::remove(package);
    return {Installation{Installation::Kind::replacedAppImage, image}, std::nullopt};
}

// "name (2).ext" for the second try, and so on.
std::filesystem::path candidate(const std::filesystem::path& directory,
                                const std::string& name,
                                int attempt) {
    if (attempt == 1) {
        return directory / name;
    }
    // The extension stays at the end; ".tar.gz" counts as one.
    auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 4 && name.compare(dot - 4, 4, ".tar") == 0) {
        dot -= 4;
    }
    if (dot == 0) {
        dot = std::string::npos;
    }
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    return directory / (stem + " (" + std::to_string(attempt) + ")" + extension);
}

InstallOutcome savePackage(const std::filesystem::path& package,
                           const std::filesystem::path& directory,
                           const std::string& name) {
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const auto target = candidate(directory, name, attempt);
        // A new file created exclusively: nothing the user has is ever overwritten.
        const int fd =
            ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644 & ~mask);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return {std::nullopt,
                    posixError(errno, "the package cannot be saved in " + directory.string())};
        }
        int failure = copyInto(package, fd);
        if (::close(fd) != 0 && failure == 0) {
            failure = errno;
        }
        if (failure != 0) {
            ::unlink(target.c_str());
            return {std::nullopt,
                    posixError(failure, "the package cannot be saved in " + directory.string())};
        }
        std::filesystem::remove(package, ignored);
        return {Installation{Installation::Kind::savedPackage, target}, std::nullopt};
    }
    return {std::nullopt,
            posixError(EEXIST, "no free name for the package in " + directory.string())};
}

std::optional<std::filesystem::path> replaceableImage(const char* value) {
    if (value == nullptr || value[0] == '\0') {
        return std::nullopt;
    }
    const std::filesystem::path image(value);
    struct stat info {};
    const auto folder = image.parent_path();
    if (!image.is_absolute()) {
        vornUpdaterLog().notice("APPIMAGE is not an absolute path; updates are saved instead");
        return std::nullopt;
    }
    if (::lstat(image.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()
        || ::access(image.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0) {
        vornUpdaterLog().notice(
            "program image not replaceable by this user; updates are saved "
            "instead path=",
            image.string());
        return std::nullopt;
    }
    return image;
}

std::filesystem::path downloadFolder() {
    if (const char* value = std::getenv("XDG_DOWNLOAD_DIR"); value != nullptr && value[0] == '/') {
        return value;
    }
    // Reads the user's configured folder (user-dirs.dirs), else ~/Downloads.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!folder.isEmpty()) {
        return folder.toStdString();
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/tmp") / "Downloads";
}

}  // namespace

InstallTargets InstallTargets::current() {
    return InstallTargets{replaceableImage(std::getenv("APPIMAGE")), downloadFolder()};
}

InstallOutcome installPackage(const std::filesystem::path& package,
                              const InstallTargets& targets,
                              std::string_view suggestedName) {
    if (targets.appImage) {
        return replaceAppImage(package, *targets.appImage);
    }
    return savePackage(package, targets.downloadDirectory, std::string(suggestedName));
}

std::string packageFileName(std::string_view url, std::string_view fallback) {
    std::string_view path = url.substr(0, url.find_first_of("?#"));
    if (const auto slash = path.find_last_of('/'); slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    std::string name;
    for (const char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                           || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_'
                           || c == '+';
        name += plain ? c : '_';
    }
    // No hidden files and no "." or "..".
    while (!name.empty() && name.front() == '.') {
        name.erase(name.begin());
    }
    return name.empty() ? std::string(fallback) : name;
}

}  // namespace vorn::updates
