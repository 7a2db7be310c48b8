#pragma once

#include <filesystem>

namespace vorn::updates {

// The user's two automatic-update choices, as the engine keeps them.
struct UpdateSettings {
    bool automaticallyChecks = true;
    bool automaticallyDownloads = false;
};

// The settings in a small JSON file in the user's configuration folder.
class UpdateSettingsFile {
public:
    explicit UpdateSettingsFile(std::filesystem::path path);

    // The saved choices; the defaults for a missing file, and for an unreadable one or a
    // missing or malformed key (logged).
    UpdateSettings load() const;
    // Writes atomically; a failure is logged and the choice holds for this run only.
    void save(const UpdateSettings& settings) const;

    // $XDG_CONFIG_HOME/Vorn/updates.json (~/.config by default); none without a home.
    static std::filesystem::path standardPath();

private:
    std::filesystem::path m_path;
};

}  // namespace vorn::updates
