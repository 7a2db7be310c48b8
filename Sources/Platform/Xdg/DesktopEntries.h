#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorn::platform {

// One application's XDG desktop entry, the [Desktop Entry] group with string escapes resolved.
struct DesktopEntry {
    // The desktop file id without ".desktop": its path below the applications directory with
    // "/" replaced by "-" ("org.example.Editor", "kde4-editor").
    std::string id;
    std::filesystem::path path;
    std::string name;  // localised where the entry has the locale's name
    std::string exec;
    std::string icon;
    std::string workingDirectory;
    std::string startupWMClass;
    bool hidden = false;  // the user deleted it; it hides entries of the same id further down

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// The entry of a file's text; no value unless it is an application entry. Later keys of the
// same name win, other groups are ignored.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text,
                                              const std::vector<std::string>& localeSuffixes);

// The suffixes to look up localised keys with, most specific first: "de_DE.UTF-8@euro" gives
// de_DE@euro, de_DE, de@euro, de. "C" and "POSIX" give none.
std::vector<std::string> localeSuffixes(std::string_view locale);
// The current locale's suffixes, from LC_ALL, LC_MESSAGES or LANG.
std::vector<std::string> currentLocaleSuffixes();

// The XDG data directories in order of precedence: $XDG_DATA_HOME (else ~/.local/share), then
// each of $XDG_DATA_DIRS (else /usr/local/share and /usr/share).
std::vector<std::filesystem::path> dataDirectories();
// The "applications" directory of each data directory, in the same order.
std::vector<std::filesystem::path> defaultApplicationDirs();

// Every desktop entry found by listing the applications directories (never by building a path
// from an id). Lookups use the entries as last read; refresh() reads them again when a directory
// changed. Main thread only.
class DesktopEntryIndex {
public:
    explicit DesktopEntryIndex(std::vector<std::filesystem::path> applicationDirs);

    // Reads the entries again when a directory (or one below it) changed since the last read.
    void refresh();

    const DesktopEntry* byID(std::string_view id);
    const DesktopEntry* byPath(const std::filesystem::path& path);
    // The entry whose StartupWMClass is the window's class (else its instance), else one whose
    // id is the class or instance, or ends with "." and one of them, compared without case.
    const DesktopEntry* forClass(std::string_view windowClass, std::string_view instance);
    // Every visible entry in order of precedence; valid until the next refresh().
    std::span<const DesktopEntry> all();

private:
    void scanOnce();
    void scan();
    std::map<std::filesystem::path, std::filesystem::file_time_type> stampDirectories() const;

    std::vector<std::filesystem::path> m_dirs;
    std::vector<std::string> m_locale;
    // Visible entries in order of precedence; hidden ones only mask others while scanning.
    std::vector<DesktopEntry> m_entries;
    std::unordered_map<std::string, std::size_t> m_byID;
    std::map<std::filesystem::path, std::filesystem::file_time_type> m_stamps;
    bool m_scanned = false;
};

// The entries of the XDG data directories, one index for the whole process: the backend that
// names and launches applications and the sidebar that shows their icons read each file once
// until a directory changes. Main thread only.
DesktopEntryIndex& sharedDesktopEntries();

}  // namespace vorn::platform
