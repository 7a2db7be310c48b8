#include "Store.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>

#include "InstanceLock.h"
#include "Log.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {
namespace {

struct Candidate {
    fileio::ReadResult read;
    std::optional<AppState> state;
    DecodeReport report;
    // The bytes are the ones this store loaded as usable or wrote itself; they are not decoded
    // again, so there is no state.
    bool knownGood = false;

    bool exists() const { return read.exists(); }
    bool decoded() const { return state.has_value(); }
    bool usable() const { return knownGood || (state && !state->spaces.empty()); }
};

Candidate readCandidate(const std::filesystem::path& path,
                        const fileio::FaultInjector& fault,
                        const std::optional<std::string>& knownGood = std::nullopt) {
    Candidate candidate;
    if (fault && fault(fileio::WriteStep::read)) {
        candidate.read.error = EACCES;
        return candidate;
    }
    candidate.read = fileio::readRegularFile(path);
    if (!candidate.read.bytes) {
        return candidate;
    }
    if (knownGood && *knownGood == *candidate.read.bytes) {
        // Decoding them again would only repeat what was logged then.
        candidate.knownGood = true;
        return candidate;
    }
    candidate.state = decodeStateFile(*candidate.read.bytes, &candidate.report);
    return candidate;
}

std::filesystem::path withAddedExtension(const std::filesystem::path& path, const char* ext) {
    std::filesystem::path out = path;
    out += ext;
    return out;
}

std::string asidePrefix(const std::filesystem::path& file) {
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

JSONFileStore::JSONFileStore(std::filesystem::path fileURL, Clock clock)
    : m_url(std::move(fileURL))
    , m_clock(std::move(clock)) {}

std::filesystem::path JSONFileStore::backupURL() const {
    return withAddedExtension(m_url, ".bak");
}

std::vector<std::filesystem::path> JSONFileStore::asideFiles() const {
    const std::filesystem::path directory =
        m_url.has_parent_path() ? m_url.parent_path() : std::filesystem::path(".");
    const std::string prefix = asidePrefix(m_url);
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

std::filesystem::path JSONFileStore::newAsideURL() const {
    const std::string base = m_url.string() + ".corrupt-" + utcStamp(m_clock());
    std::filesystem::path candidate = base;
    for (int n = 2; fileio::exists(candidate) && n < 1000; ++n) {
        candidate = base + "-" + std::to_string(n);
    }
    return candidate;
}

void JSONFileStore::pruneAsideFiles(const std::filesystem::path& justKept) const {
    // Newest by name, but the file just kept stays whatever the clock said when it was named.
    std::size_t kept = 1;
    for (const auto& file : asideFiles()) {
        if (file == justKept) {
            continue;
        }
        if (kept < keptAsideFiles) {
            ++kept;
        } else {
            ::unlink(file.c_str());
        }
    }
}

AppState JSONFileStore::freshState() {
    return AppState{};
}

AppState JSONFileStore::load() {
    m_moveMainAside = false;
    m_keepAside.reset();
    m_knownGood.reset();
    // A crash in the middle of a write can leave a temporary file; it never holds the only copy.
    // But another instance's write may be under way: only the lock's holder sweeps.
    if (InstanceLock::heldFor(m_url.parent_path())) {
        fileio::removeStaleTemporaries(m_url);
        fileio::removeStaleTemporaries(backupURL());
    }

    Candidate main = readCandidate(m_url, m_fault);
    if (main.usable()) {
        if (main.report.degraded()) {
            // Saving the decoded state would lose what was left out: keep the original first.
            m_keepAside = std::move(main.read.bytes);
        } else {
            m_knownGood = std::move(main.read.bytes);
        }
        return std::move(*main.state);
    }
    // The state file exists but cannot be used: move it aside before a save replaces it, so the
    // user's data can still be recovered by hand.
    m_moveMainAside = main.exists();
    if (main.exists() && !main.read.bytes) {
        vornStoreLog().error("load: state file unreadable path=", m_url.string(),
                             " error=", std::strerror(main.read.error));
    }

    Candidate backup = readCandidate(backupURL(), m_fault);
    if (backup.usable()) {
        vornStoreLog().error("load: main unusable or degraded, rolled back to backup (spaces=",
                             backup.state->spaces.size(), ")");
        if (backup.report.degraded()) {
            m_keepAside = std::move(backup.read.bytes);
        }
        return std::move(*backup.state);
    }
    if (main.decoded()) {
        return std::move(*main.state);
    }
    if (backup.decoded()) {
        if (backup.report.degraded()) {
            m_keepAside = std::move(backup.read.bytes);
        }
        return std::move(*backup.state);
    }
    if (main.exists() || backup.exists()) {
        vornStoreLog().error("load: main and backup both unusable, using fresh default state");
    }
    return freshState();
}

bool JSONFileStore::save(const AppState& state) {
    if (m_refusing) {
        return false;
    }
    const auto created = fileio::createDirectories(m_url.parent_path(), 0700, m_fault);
    if (!created.ok) {
        logSaveFailure(created);
        return false;
    }
    const auto encoded = encodeStateFile(state);
    if (!encoded) {
        fileio::WriteResult result;
        result.error = "the state holds a number that JSON cannot express";
        logSaveFailure(result);
        return false;
    }

    if (m_moveMainAside) {
        // A rename needs no permission to read the file, so even a file left unreadable by
        // another user or a FIFO can be kept.
        const auto aside = newAsideURL();
        const auto moved = fileio::renameWithoutReplacing(m_url, aside, m_fault);
        if (!moved.ok && moved.code != ENOENT) {
            // Overwriting the only copy of the user's data is worse than not saving.
            m_refusing = true;
            vornStoreLog().error(
                "save refused for this run: the unusable state file cannot be moved aside error=",
                moved.error);
            return false;
        }
        m_moveMainAside = false;
        if (moved.ok) {
            vornStoreLog().error("save: moved the unusable state file aside path=", aside.string());
            pruneAsideFiles(aside);
        }
    }
    if (m_keepAside) {
        const auto aside = newAsideURL();
        const auto kept = fileio::writeAtomically(aside, *m_keepAside, m_fault);
        if (!kept.ok) {
            // Not saved now; the next save tries again.
            logSaveFailure(kept);
            return false;
        }
        m_keepAside.reset();
        vornStoreLog().error("save: kept the partly read state file path=", aside.string());
        pruneAsideFiles(aside);
    }

    const Candidate current = readCandidate(m_url, m_fault, m_knownGood);
    // Only a good file becomes the backup, byte for byte, and only when it holds another state
    // than the one written now: a retry of the same state must not rotate the backup again.
    if (current.usable() && *current.read.bytes != *encoded) {
        // A failure here is not fatal.
        (void)fileio::writeAtomically(backupURL(), *current.read.bytes, m_fault);
    }

    const auto written = fileio::writeAtomically(m_url, *encoded, m_fault);
    if (!written.ok) {
        logSaveFailure(written);
        return false;
    }
    m_knownGood = *encoded;
    if (!written.durable) {
        if (isNewFault(written)) {
            vornStoreLog().notice("save: written, but not yet durable: ", written.error);
        }
        return true;
    }
    m_lastFault.reset();
    return true;
}

bool JSONFileStore::isNewFault(const fileio::WriteResult& result) {
    // The message names a random temporary file; the step and the error number do not change
    // while one fault lasts (a full disk, a read-only mount).
    const std::pair<fileio::WriteStep, int> fault{result.step, result.code};
    if (m_lastFault == fault) {
        return false;
    }
    m_lastFault = fault;
    return true;
}

void JSONFileStore::logSaveFailure(const fileio::WriteResult& result) {
    if (isNewFault(result)) {
        vornStoreLog().error("save failed: ", result.error);
    }
}

std::optional<Date> JSONFileStore::savedAt() {
    struct stat status {};
    if (::stat(m_url.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return Date::fromUnix(static_cast<double>(status.st_mtim.tv_sec)
                          + static_cast<double>(status.st_mtim.tv_nsec) / 1e9);
}

}  // namespace vorn
