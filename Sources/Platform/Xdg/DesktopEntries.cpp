#include "DesktopEntries.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "Log.h"

namespace vorn::platform {
namespace fs = std::filesystem;
namespace {

// Entries larger than this are not desktop entries.
constexpr std::uintmax_t maxEntrySize = 1 << 20;
// Deeper trees below an applications directory are not followed.
constexpr int maxDepth = 8;

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The escapes of the string type; others (such as the Exec key's quoting) stay as they are.
std::string unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out.push_back(value[i]);
            continue;
        }
        const char next = value[i + 1];
        switch (next) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                out.push_back('\\');
                out.push_back(next);
                break;
        }
        ++i;
    }
    return out;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool matchesID(std::string_view id, std::string_view name) {
    if (name.empty()) {
        return false;
    }
    const std::string a = lower(id);
    const std::string b = lower(name);
    return a == b || (a.size() > b.size() && a.ends_with(b) && a[a.size() - b.size() - 1] == '.');
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text,
                                              const std::vector<std::string>& localeSuffixes) {
    std::map<std::string, std::string, std::less<>> keys;
    bool inGroup = false;
    bool sawGroup = false;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        const std::string_view l = trim(line);
        if (l.empty() || l.front() == '#') {
            continue;
        }
        if (l.front() == '[') {
            inGroup = l == "[Desktop Entry]";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const auto equals = l.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        keys[std::string(trim(l.substr(0, equals)))] = unescape(trim(l.substr(equals + 1)));
    }
    if (!sawGroup) {
        return std::nullopt;
    }
    auto value = [&keys](std::string_view key) -> std::string {
        auto it = keys.find(key);
        return it == keys.end() ? std::string() : it->second;
    };
    if (value("Type") != "Application") {
        return std::nullopt;
    }
    DesktopEntry entry;
    entry.name = value("Name");
    for (const std::string& suffix : localeSuffixes) {
        if (auto it = keys.find("Name[" + suffix + "]"); it != keys.end() && !it->second.empty()) {
            entry.name = it->second;
            break;
        }
    }
    entry.exec = value("Exec");
    entry.icon = value("Icon");
    entry.workingDirectory = value("Path");
    entry.startupWMClass = value("StartupWMClass");
    entry.hidden = value("Hidden") == "true";
    return entry;
}

std::vector<std::string> localeSuffixes(std::string_view locale) {
    if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.")) {
        return {};
    }
    std::string_view modifier;
    if (auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at);
        locale = locale.substr(0, at);
    }
    if (auto dot = locale.find('.'); dot != std::string_view::npos) {
        locale = locale.substr(0, dot);
    }
    std::string_view language = locale;
    std::string_view country;
    if (auto underscore = locale.find('_'); underscore != std::string_view::npos) {
        language = locale.substr(0, underscore);
        country = locale.substr(underscore);
    }
    std::vector<std::string> suffixes;
    auto add = [&suffixes](std::string s) {
        if (std::find(suffixes.begin(), suffixes.end(), s) == suffixes.end()) {
            suffixes.push_back(std::move(s));
        }
    };
    if (!country.empty() && !modifier.empty()) {
        add(std::string(language) + std::string(country) + std::string(modifier));
    }
    if (!country.empty()) {
        add(std::string(language) + std::string(country));
    }
    if (!modifier.empty()) {
        add(std::string(language) + std::string(modifier));
    }
    add(std::string(language));
    return suffixes;
}

std::vector<std::string> currentLocaleSuffixes() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return localeSuffixes(value);
        }
    }
    return {};
}

std::vector<fs::path> dataDirectories() {
    std::vector<fs::path> dirs;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome != nullptr && *dataHome == '/') {
        dirs.emplace_back(dataHome);
    } else if (home != nullptr && *home == '/') {
        dirs.emplace_back(fs::path(home) / ".local/share");
    }
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list =
        dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share";
    while (!list.empty()) {
        const auto colon = list.find(':');
        const std::string_view dir = list.substr(0, colon);
        // Relative entries are not allowed there and would depend on the working directory.
        if (!dir.empty() && dir.front() == '/') {
            dirs.emplace_back(dir);
        }
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return dirs;
}

std::vector<fs::path> defaultApplicationDirs() {
    std::vector<fs::path> dirs = dataDirectories();
    for (fs::path& dir : dirs) {
        dir /= "applications";
    }
    return dirs;
}

DesktopEntryIndex::DesktopEntryIndex(std::vector<fs::path> applicationDirs)
    : m_dirs(std::move(applicationDirs))
    , m_locale(currentLocaleSuffixes()) {}

std::map<fs::path, fs::file_time_type> DesktopEntryIndex::stampDirectories() const {
    std::map<fs::path, fs::file_time_type> stamps;
    for (const fs::path& dir : m_dirs) {
        std::error_code error;
        const auto stamp = fs::last_write_time(dir, error);
        if (error) {
            continue;
        }
        stamps[dir] = stamp;
        fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it.depth() >= maxDepth) {
                it.disable_recursion_pending();
            }
            std::error_code entryError;
            if (it->is_directory(entryError)) {
                stamps[it->path()] = fs::last_write_time(it->path(), entryError);
            }
        }
    }
    return stamps;
}

void DesktopEntryIndex::refresh() {
    auto stamps = stampDirectories();
    if (m_scanned && stamps == m_stamps) {
        return;
    }
    m_stamps = std::move(stamps);
    scan();
    m_scanned = true;
}

void DesktopEntryIndex::scanOnce() {
    if (!m_scanned) {
        refresh();
    }
}

void DesktopEntryIndex::scan() {
    m_entries.clear();
    m_byID.clear();
    std::set<std::string> seen;
    for (const fs::path& dir : m_dirs) {
        std::vector<fs::path> files;
        std::error_code error;
        fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it.depth() >= maxDepth) {
                it.disable_recursion_pending();
            }
            std::error_code entryError;
            if (it->path().extension() == ".desktop" && it->is_regular_file(entryError)) {
                files.push_back(it->path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::string id = fs::relative(file, dir, error).replace_extension().generic_string();
            if (error || id.empty()) {
                continue;
            }
            std::replace(id.begin(), id.end(), '/', '-');
            if (!seen.insert(id).second) {
                continue;
            }
            std::error_code sizeError;
            if (fs::file_size(file, sizeError) > maxEntrySize || sizeError) {
                vornWMLog().debug("x11: desktop entry skipped: too large path=", file.string());
                continue;
            }
            std::ifstream in(file, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            auto entry = parseDesktopEntry(text.str(), m_locale);
            if (!entry || entry->hidden) {
                continue;
            }
            entry->id = std::move(id);
            entry->path = file;
            m_byID.emplace(entry->id, m_entries.size());
            m_entries.push_back(std::move(*entry));
        }
    }
}

const DesktopEntry* DesktopEntryIndex::byID(std::string_view id) {
    scanOnce();
    const auto it = m_byID.find(std::string(id));
    return it == m_byID.end() ? nullptr : &m_entries[it->second];
}

const DesktopEntry* DesktopEntryIndex::byPath(const fs::path& path) {
    scanOnce();
    for (const DesktopEntry& entry : m_entries) {
        if (entry.path == path) {
            return &entry;
        }
    }
    return nullptr;
}

const DesktopEntry* DesktopEntryIndex::forClass(std::string_view windowClass,
                                                std::string_view instance) {
    scanOnce();
    for (const std::string_view name : {windowClass, instance}) {
        if (name.empty()) {
            continue;
        }
        for (const DesktopEntry& entry : m_entries) {
            if (entry.startupWMClass == name) {
                return &entry;
            }
        }
    }
    for (const std::string_view name : {windowClass, instance}) {
        for (const DesktopEntry& entry : m_entries) {
            if (matchesID(entry.id, name)) {
                return &entry;
            }
        }
    }
    return nullptr;
}

std::span<const DesktopEntry> DesktopEntryIndex::all() {
    scanOnce();
    return m_entries;
}

DesktopEntryIndex& sharedDesktopEntries() {
    static DesktopEntryIndex index(defaultApplicationDirs());
    return index;
}

}  // namespace vorn::platform
