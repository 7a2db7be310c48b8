#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Date.h"
#include "FileIO.h"

namespace vorn {

// The copies of one file that could not be used, kept beside it for recovery by hand as
// "<file>.corrupt-<UTC time>" (such as "state.json.corrupt-20250131T235959Z", with "-2" and so
// on added when that name is taken), private to the user (0600), the newest `kept` of them.
class AsideFiles {
public:
    static constexpr std::size_t kept = 5;

    // What a keeping did: where the file went, and how its mode was tightened.
    struct Kept {
        fileio::WriteResult result;
        std::filesystem::path path;
        std::optional<fileio::ModeChange> modeChange;
    };

    AsideFiles(std::filesystem::path file, Clock clock);

    // Newest first.
    std::vector<std::filesystem::path> list() const;

    // Renames the file aside, which needs no permission to read it (a FIFO, a file of mode
    // 000), and makes it the user's own to read when the user owns it. Nothing is replaced.
    Kept moveAside(const fileio::FaultInjector& fault = {}) const;
    // Writes a copy of the bytes aside.
    Kept keepCopy(std::string_view bytes, const fileio::FaultInjector& fault = {}) const;

private:
    // A name that nothing has yet.
    std::filesystem::path newName() const;
    void prune(const std::filesystem::path& justKept) const;

    std::filesystem::path m_file;
    Clock m_clock;
};

}  // namespace vorn
