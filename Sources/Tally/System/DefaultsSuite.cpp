#include "System/DefaultsSuite.h"

#include <map>

#include "AsideFiles.h"
#include "FileIO.h"
#include "Helpers/LogHandler.h"
#include "Paths.h"

namespace vorn::tally::system {
namespace {

constexpr std::size_t longestName = 200;

bool isUsableName(const std::string& name) {
    return !name.empty() && name.size() <= longestName && name.front() != '.'
           && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// The suite has no configuration of its own to take a handler from; its rare failures go to
// the standard handler.
void reportError(const std::string& message) {
    LogHandler::standard(LogHandler::LogLevel::error).log(LogHandler::LogLevel::error, message);
}

}  // namespace

std::shared_ptr<DefaultsSuite> DefaultsSuite::named(const std::string& name) {
    if (!isUsableName(name)) {
        return nullptr;
    }
    std::optional<std::filesystem::path> file;
    if (auto directory = host::configDirectory()) {
        file = *directory / (name + ".json");
    }
    // Keyed by the file, so that a changed configuration directory (as between tests) never
    // writes through a store that was loaded from another place.
    const std::string key = file ? file->string() : name;
    static std::mutex registryMutex;
    // Never destroyed, like the suites themselves: any thread may still write one at exit.
    static auto* registry = new std::map<std::string, std::shared_ptr<DefaultsSuite>>;
    std::lock_guard lock(registryMutex);
    auto& suite = (*registry)[key];
    if (!suite) {
        suite.reset(new DefaultsSuite(name, std::move(file)));
    }
    return suite;
}

DefaultsSuite::DefaultsSuite(std::string name, std::optional<std::filesystem::path> file)
    : m_name(std::move(name))
    , m_file(std::move(file)) {
    std::lock_guard lock(m_mutex);
    loadLocked();
}

std::optional<json::Value> DefaultsSuite::decode(std::string_view text) {
    // A key given twice has no one meaning: such a file is set aside like any unreadable one.
    json::ParseOptions options;
    options.rejectDuplicateKeys = true;
    auto parsed = json::parse(text, options);
    if (!parsed || !parsed->is_object()) {
        return std::nullopt;
    }
    return parsed;
}

void DefaultsSuite::loadLocked() {
    if (!m_file) {
        return;
    }
    const auto read = fileio::readRegularFile(*m_file);
    if (!read.exists()) {
        return;
    }
    if (read.bytes) {
        if (auto parsed = decode(*read.bytes)) {
            m_values = std::move(*parsed);
            return;
        }
    }
    // Kept aside rather than overwritten by the next change, so that its values can be
    // recovered by hand; the state file's rule, so that one bad file never replaces another.
    const AsideFiles::Kept kept = AsideFiles(*m_file, systemClock()).moveAside();
    if (kept.result.ok) {
        reportError("Unreadable settings file moved aside path=" + kept.path.string()
                    + (kept.modeChange ? " " + kept.modeChange->description() : ""));
        return;
    }
    // Replacing it would lose it: changes stay in memory for this run.
    m_keepsFile = true;
    reportError(
        "Unreadable settings file could not be moved aside; it is left as it is and "
        "changes are not saved path="
        + m_file->string() + " error=" + kept.result.error);
}

void DefaultsSuite::saveLocked() {
    if (!m_file) {
        reportError("No settings directory; change kept in memory suite=" + m_name);
        return;
    }
    if (m_keepsFile) {
        return;
    }
    const auto text = json::writePretty(m_values);
    if (!text) {
        reportError("Settings not encodable suite=" + m_name);
        return;
    }
    auto result = fileio::createDirectories(m_file->parent_path());
    if (result.ok) {
        result = fileio::writeAtomically(*m_file, *text);
    }
    if (!result.ok) {
        reportError("Settings not saved suite=" + m_name + " error=" + result.error);
    }
}

std::optional<json::Value> DefaultsSuite::value(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    if (it == m_values.end()) {
        return std::nullopt;
    }
    return *it;
}

std::optional<std::string> DefaultsSuite::string(const std::string& key) const {
    const auto stored = value(key);
    return stored ? json::asString(&*stored) : std::nullopt;
}

std::optional<std::int64_t> DefaultsSuite::integer(const std::string& key) const {
    const auto stored = value(key);
    return stored ? json::asInt(&*stored) : std::nullopt;
}

std::optional<std::vector<std::string>> DefaultsSuite::stringList(const std::string& key) const {
    const auto stored = value(key);
    if (!stored || !stored->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> list;
    for (const auto& element : *stored) {
        auto text = json::asString(&element);
        if (!text) {
            return std::nullopt;
        }
        list.push_back(std::move(*text));
    }
    return list;
}

void DefaultsSuite::set(const std::string& key, json::Value value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = std::move(value);
    saveLocked();
}

void DefaultsSuite::clear() {
    std::lock_guard lock(m_mutex);
    m_values = json::Value::object();
    if (!m_file) {
        return;
    }
    std::error_code error;
    std::filesystem::remove(*m_file, error);
    if (error) {
        reportError("Settings file not deleted suite=" + m_name + " error=" + error.message());
    }
}

void DefaultsSuite::remove(const std::string& key) {
    std::lock_guard lock(m_mutex);
    if (m_values.erase(key) > 0) {
        saveLocked();
    }
}

}  // namespace vorn::tally::system
