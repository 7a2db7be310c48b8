#include "AsideFiles.h"

#include <algorithm>
#include <ctime>
#include <functional>

#include <dirent.h>
#include <unistd.h>

namespace vorn {
namespace {

std::filesystem::path directoryOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

std::string prefixOf(const std::filesystem::path& file) {
    return file.filename().string() + ".corrupt-";
}

// "20250131T235959Z": sorts in time order as text.
std::string utcStamp(Date date) {
    const auto seconds = static_cast<std::time_t>(date.unixSeconds());
    std::tm parts{};
    char text[32] = "unknown-time";
    if (::gmtime_r(&seconds, &parts) != nullptr) {
        std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    }
    return text;
}

}  // namespace

AsideFiles::AsideFiles(std::filesystem::path file, Clock clock)
    : m_file(std::move(file))
    , m_clock(std::move(clock)) {}

std::vector<std::filesystem::path> AsideFiles::list() const {
    const std::filesystem::path directory = directoryOf(m_file);
    const std::string prefix = prefixOf(m_file);
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name(entry->d_name);
            if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) {
                names.emplace_back(name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    std::vector<std::filesystem::path> files;
    for (const auto& name : names) {
        files.push_back(directory / name);
    }
    return files;
}

std::filesystem::path AsideFiles::newName() const {
    const std::string base = m_file.string() + ".corrupt-" + utcStamp(m_clock());
    std::filesystem::path candidate = base;
    for (int n = 2; fileio::exists(candidate) && n < 1000; ++n) {
        candidate = base + "-" + std::to_string(n);
    }
    return candidate;
}

void AsideFiles::prune(const std::filesystem::path& justKept) const {
    // Newest by name, but the file just kept stays whatever the clock said when it was named.
    std::size_t count = 1;
    for (const auto& file : list()) {
        if (file == justKept) {
            continue;
        }
        if (count < kept) {
            ++count;
        } else {
            ::unlink(file.c_str());
        }
    }
}

AsideFiles::Kept AsideFiles::moveAside(const fileio::FaultInjector& fault) const {
    Kept kept;
    kept.path = newName();
    kept.result = fileio::renameWithoutReplacing(m_file, kept.path, fault);
    if (kept.result.ok) {
        // A rename keeps the mode: one the user cannot read, or one others can.
        kept.modeChange = fileio::makePrivate(kept.path);
        prune(kept.path);
    }
    return kept;
}

AsideFiles::Kept AsideFiles::keepCopy(std::string_view bytes,
                                      const fileio::FaultInjector& fault) const {
    Kept kept;
    kept.path = newName();
    kept.result = fileio::writeAtomically(kept.path, bytes, fault);
    if (kept.result.ok) {
        prune(kept.path);
    }
    return kept;
}

}  // namespace vorn
