#pragma once

#include <filesystem>
#include <string>

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

// Keeps the state in one JSON file with a one-generation backup beside it ("<file>.bak").
class JSONFileStore final : public Store {
public:
    explicit JSONFileStore(std::filesystem::path fileURL);

    const std::filesystem::path& url() const { return m_url; }
    std::filesystem::path backupURL() const;
    // Where an unusable state file is kept before the first save replaces it.
    std::filesystem::path corruptURL() const;

    // Precedence: a usable state file, a usable backup, the state file as decoded, the backup
    // as decoded, the fresh default. Changes neither file.
    AppState load() override;
    // Creates the directory, copies the previous usable file to the backup, then writes the new
    // state durably. Returns false, keeping the previous file, when any step fails.
    bool save(const AppState& state) override;

    // Test seam: fail chosen steps of the writes.
    void setFaultInjector(fileio::FaultInjector fault) { m_fault = std::move(fault); }

    // The state a store starts from when nothing usable was saved.
    static AppState freshState();

private:
    void logSaveFailure(const std::string& error);

    std::filesystem::path m_url;
    fileio::FaultInjector m_fault;
    bool m_preserveUnusableMain = false;
    std::string m_lastLoggedError;
};

}  // namespace vorn
