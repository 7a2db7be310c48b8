#include "Store.h"

#include <cstring>

#include "InstanceLock.h"
#include "Log.h"

#include <sys/stat.h>

namespace vorn {
namespace {

struct Candidate {
    fileio::ReadResult read;
    std::optional<AppState> state;
    DecodeReport report;
    // The bytes are the ones this store loaded as usable or wrote itself; they are not decoded
    // again, so there is no state.
    bool knownGood = false;
    // The bytes are those of the file the last load read only in part; not decoded again either.
    bool knownPartial = false;

    bool exists() const { return read.exists(); }
    bool decoded() const { return state.has_value(); }
    bool usable() const { return knownGood || (state && !state->spaces.empty()); }
    bool fullyRead() const { return knownGood || (usable() && !report.degraded()); }
};

Candidate readCandidate(const std::filesystem::path& path,
                        const fileio::FaultInjector& fault,
                        const std::optional<std::string>& knownGood = std::nullopt,
                        const std::optional<std::string>& knownPartial = std::nullopt) {
    Candidate candidate;
    if (fault && fault(fileio::WriteStep::read)) {
        candidate.read.error = EACCES;
        return candidate;
    }
    candidate.read = fileio::readRegularFile(path);
    if (!candidate.read.bytes) {
        return candidate;
    }
    // Decoding them again would only repeat what was logged then.
    if (knownGood && *knownGood == *candidate.read.bytes) {
        candidate.knownGood = true;
        return candidate;
    }
    if (knownPartial && *knownPartial == *candidate.read.bytes) {
        candidate.knownPartial = true;
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

}  // namespace

JSONFileStore::JSONFileStore(std::filesystem::path fileURL, Clock clock)
    : m_url(std::move(fileURL))
    , m_aside(m_url, std::move(clock)) {}

std::filesystem::path JSONFileStore::backupURL() const {
    return withAddedExtension(m_url, ".bak");
}

AppState JSONFileStore::freshState() {
    return AppState{};
}

AppState JSONFileStore::load() {
    m_moveMainAside = false;
    m_partlyRead.reset();
    m_partlyReadIsMain = false;
    m_partlyReadKept = false;
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
            m_partlyRead = std::move(main.read.bytes);
            m_partlyReadIsMain = true;
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
            m_partlyRead = std::move(backup.read.bytes);
        }
        return std::move(*backup.state);
    }
    if (main.decoded()) {
        return std::move(*main.state);
    }
    if (backup.decoded()) {
        if (backup.report.degraded()) {
            m_partlyRead = std::move(backup.read.bytes);
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
        const AsideFiles::Kept moved = m_aside.moveAside(m_fault);
        if (!moved.result.ok && moved.result.code != ENOENT) {
            // Overwriting the only copy of the user's data is worse than not saving.
            m_refusing = true;
            vornStoreLog().error(
                "save refused for this run: the unusable state file cannot be moved aside error=",
                moved.result.error);
            return false;
        }
        m_moveMainAside = false;
        if (moved.result.ok) {
            vornStoreLog().error(
                "save: moved the unusable state file aside path=", moved.path.string(),
                moved.modeChange ? " " + moved.modeChange->description() : std::string());
        }
    }
    if (m_partlyRead && !m_partlyReadKept) {
        const AsideFiles::Kept kept = m_aside.keepCopy(*m_partlyRead, m_fault);
        if (!kept.result.ok) {
            // Not saved now; the next save tries again.
            logSaveFailure(kept.result);
            return false;
        }
        m_partlyReadKept = true;
        vornStoreLog().error("save: kept the partly read state file path=", kept.path.string());
    }

    const Candidate current = readCandidate(m_url, m_fault, m_knownGood,
                                            m_partlyReadIsMain ? m_partlyRead : std::nullopt);
    // Only a file that loads fully becomes the backup, byte for byte, and only when it holds
    // another state than the one written now: a retry of the same state must not rotate the
    // backup again. The partly read file is kept aside; the backup keeps the last good one.
    if (current.fullyRead() && *current.read.bytes != *encoded) {
        // A failure here is not fatal.
        (void)fileio::writeAtomically(backupURL(), *current.read.bytes, m_fault);
    }

    const auto written = fileio::writeAtomically(m_url, *encoded, m_fault);
    if (!written.ok) {
        logSaveFailure(written);
        return false;
    }
    m_knownGood = *encoded;
    // The state file is this store's own now; what was read in part lives on aside.
    m_partlyRead.reset();
    m_partlyReadIsMain = false;
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
