#include "UpdateSettingsFile.h"

#include "FileIO.h"
#include "JSON.h"
#include "Log.h"
#include "Paths.h"

namespace vorn::updates {
namespace {

constexpr char checksKey[] = "automaticallyChecksForUpdates";
constexpr char downloadsKey[] = "automaticallyDownloadsUpdates";

}  // namespace

UpdateSettingsFile::UpdateSettingsFile(std::filesystem::path path)
    : m_path(std::move(path)) {}

UpdateSettings UpdateSettingsFile::load() const {
    UpdateSettings settings;
    if (m_path.empty() || !fileio::exists(m_path)) {
        return settings;
    }
    const auto text = fileio::readFile(m_path);
    const auto value = text ? json::parse(*text) : std::nullopt;
    if (!value || !value->is_object()) {
        vornUpdaterLog().error("update settings unreadable, using defaults path=", m_path.string());
        return settings;
    }
    const auto checks = json::asBool(json::member(*value, checksKey));
    const auto downloads = json::asBool(json::member(*value, downloadsKey));
    if (!checks || !downloads) {
        vornUpdaterLog().error("update settings incomplete, defaults for the rest path=",
                               m_path.string());
    }
    settings.automaticallyChecks = checks.value_or(settings.automaticallyChecks);
    settings.automaticallyDownloads = downloads.value_or(settings.automaticallyDownloads);
    return settings;
}

void UpdateSettingsFile::save(const UpdateSettings& settings) const {
    if (m_path.empty()) {
        return;
    }
    const json::Value value{{checksKey, settings.automaticallyChecks},
                            {downloadsKey, settings.automaticallyDownloads}};
    const auto text = json::writePretty(value);
    if (!text) {
        return;
    }
    if (const auto created = fileio::createDirectories(m_path.parent_path()); !created.ok) {
        vornUpdaterLog().error("update settings not saved: ", created.error);
        return;
    }
    if (const auto written = fileio::writeAtomically(m_path, *text); !written.ok) {
        vornUpdaterLog().error("update settings not saved: ", written.error);
    }
}

std::filesystem::path UpdateSettingsFile::standardPath() {
    const auto config = host::configDirectory();
    if (!config) {
        return {};
    }
    return *config / "Vorn" / "updates.json";
}

}  // namespace vorn::updates
