#include "Store.h"

#include "Log.h"

namespace vorn {
namespace {

struct Candidate {
    std::optional<std::string> bytes;
    std::optional<AppState> state;

    bool decoded() const { return state.has_value(); }
    bool usable() const { return state && !state->spaces.empty(); }
};

Candidate readCandidate(const std::filesystem::path& path) {
    Candidate candidate;
    candidate.bytes = fileio::readFile(path);
    if (candidate.bytes) {
        candidate.state = decodeStateFile(*candidate.bytes);
    }
    return candidate;
}

std::filesystem::path withAddedExtension(const std::filesystem::path& path, const char* ext) {
    std::filesystem::path out = path;
    out += ext;
    return out;
}

}  // namespace

JSONFileStore::JSONFileStore(std::filesystem::path fileURL)
    : m_url(std::move(fileURL)) {}

std::filesystem::path JSONFileStore::backupURL() const {
    return withAddedExtension(m_url, ".bak");
}

std::filesystem::path JSONFileStore::corruptURL() const {
    return withAddedExtension(m_url, ".corrupt");
}

AppState JSONFileStore::freshState() {
    return AppState{};
}

AppState JSONFileStore::load() {
    // A crash in the middle of a write can leave a temporary file; it never holds the only copy.
    fileio::removeStaleTemporaries(m_url);
    fileio::removeStaleTemporaries(backupURL());

    Candidate main = readCandidate(m_url);
    if (main.usable()) {
        m_preserveUnusableMain = false;
        return std::move(*main.state);
    }
    // The main file exists but cannot be used: keep a copy before a save replaces it, so the
    // user's data can still be recovered by hand.
    m_preserveUnusableMain = fileio::exists(m_url);

    Candidate backup = readCandidate(backupURL());
    if (backup.usable()) {
        vornStoreLog().error("load: main unusable or degraded, rolled back to backup (spaces=",
                             backup.state->spaces.size(), ")");
        return std::move(*backup.state);
    }
    if (main.decoded()) {
        return std::move(*main.state);
    }
    if (backup.decoded()) {
        return std::move(*backup.state);
    }
    if (fileio::exists(m_url) || fileio::exists(backupURL())) {
        vornStoreLog().error("load: main and backup both unusable, using fresh default state");
    }
    return freshState();
}

bool JSONFileStore::save(const AppState& state) {
    const auto created = fileio::createDirectories(m_url.parent_path(), 0700, m_fault);
    if (!created.ok) {
        logSaveFailure(created.error);
        return false;
    }
    const auto encoded = encodeStateFile(state);
    if (!encoded) {
        logSaveFailure("the state holds a number that JSON cannot express");
        return false;
    }

    const Candidate current = readCandidate(m_url);
    if (current.usable()) {
        // Only a good file becomes the backup, byte for byte; a failure here is not fatal.
        (void)fileio::writeAtomically(backupURL(), *current.bytes, m_fault);
    } else if (m_preserveUnusableMain && current.bytes) {
        const auto kept = fileio::writeAtomically(corruptURL(), *current.bytes, m_fault);
        if (!kept.ok) {
            // Overwriting the only copy of the user's data is worse than not saving.
            logSaveFailure("could not keep the unusable state file: " + kept.error);
            return false;
        }
        vornStoreLog().error("save: kept unusable state file path=", corruptURL().string());
    }
    m_preserveUnusableMain = false;

    const auto written = fileio::writeAtomically(m_url, *encoded, m_fault);
    if (!written.ok) {
        logSaveFailure(written.error);
        return false;
    }
    m_lastLoggedError.clear();
    return true;
}

void JSONFileStore::logSaveFailure(const std::string& error) {
    // A store that keeps failing is retried on every change; one line per distinct error.
    if (error == m_lastLoggedError) {
        return;
    }
    m_lastLoggedError = error;
    vornStoreLog().error("save failed: ", error);
}

}  // namespace vorn
