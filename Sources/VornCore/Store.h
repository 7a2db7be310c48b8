#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AsideFiles.h"
#include "Date.h"
#include "FileIO.h"
#include "Models.h"

namespace vorn {

// The one path by which the sidebar model reads and writes its saved state.
class Store {
public:
    virtual ~Store() = default;

    // Always returns a state: the saved one, or a default.
    virtual AppState load() = 0;
    // Returns whether the state reached durable storage. Failures are logged by the store.
    [[nodiscard]] virtual bool save(const AppState& state) = 0;
    // When the state was last saved; no value when the store cannot tell.
    virtual std::optional<Date> savedAt() { return std::nullopt; }
};

class InMemoryStore final : public Store {
public:
    explicit InMemoryStore(AppState state)
        : state(std::move(state)) {}

    AppState load() override { return state; }
    bool save(const AppState& newState) override {
        state = newState;
        return true;
    }

    AppState state;
};

// Keeps the state in one JSON file with a one-generation backup beside it ("<file>.bak"), which
// only ever receives a file that loaded fully. A state file that cannot be used as it stands is
// kept aside (AsideFiles) before the first save would replace it.
class JSONFileStore final : public Store {
public:
    explicit JSONFileStore(std::filesystem::path fileURL, Clock clock = systemClock());

    const std::filesystem::path& url() const { return m_url; }
    std::filesystem::path backupURL() const;
    // The files kept aside, newest first.
    std::vector<std::filesystem::path> asideFiles() const { return m_aside.list(); }

    // Precedence: a usable state file, a usable backup, the state file as decoded, the backup
    // as decoded, the fresh default. Changes neither file. Removes leftovers of interrupted
    // writes only while this process holds the directory's instance lock.
    AppState load() override;
    // Creates the directory, keeps aside what the last load could not fully use (an unusable
    // state file by renaming it, a partly decoded one by copying its bytes), copies the previous
    // file to the backup when it loads fully (never the partly read one), then writes the new
    // state. Returns false, keeping the previous file, when a step before the rename fails;
    // true, with a warning, when only the directory sync after it failed. Refuses every save of
    // the run when an unusable file cannot be moved.
    bool save(const AppState& state) override;
    // The time the state file was last written.
    std::optional<Date> savedAt() override;

    // Test seam: fail chosen steps of the reads and writes.
    void setFaultInjector(fileio::FaultInjector fault) { m_fault = std::move(fault); }

    // The state a store starts from when nothing usable was saved.
    static AppState freshState();

private:
    // Whether a failure or warning of this step and error is new since the last one logged.
    bool isNewFault(const fileio::WriteResult& result);
    void logSaveFailure(const fileio::WriteResult& result);

    std::filesystem::path m_url;
    AsideFiles m_aside;
    fileio::FaultInjector m_fault;
    // From the last load: the state file exists but is unusable, so it is renamed aside.
    bool m_moveMainAside = false;
    // From the last load: the bytes of the file (the state file or the backup) that decoded only
    // in part; copied aside once, and never made the backup.
    std::optional<std::string> m_partlyRead;
    bool m_partlyReadIsMain = false;
    bool m_partlyReadKept = false;
    // The state file's bytes as last loaded usable or written: usable without decoding.
    std::optional<std::string> m_knownGood;
    // The unusable state file could not be moved aside: nothing is saved in this run.
    bool m_refusing = false;
    std::optional<std::pair<fileio::WriteStep, int>> m_lastFault;
};

}  // namespace vorn
