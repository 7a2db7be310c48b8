#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "JSON.h"

namespace vorn::tally::system {

// A named settings store: one shared in-memory copy per name, kept in
// "<config directory>/<name>.json". Every change rewrites the file atomically; reads never
// touch the disk after the first use. A file that cannot be read or decoded is moved aside
// (AsideFiles) on first use; when even that fails, it is left alone and changes stay in memory.
// Safe to use from any thread.
class DefaultsSuite {
public:
    // The shared store of the suite; no value for a name that cannot name a file.
    static std::shared_ptr<DefaultsSuite> named(const std::string& name);

    // The values of a suite's file: a JSON object that holds each key once; none otherwise.
    static std::optional<json::Value> decode(std::string_view text);

    const std::string& name() const { return m_name; }

    std::optional<json::Value> value(const std::string& key) const;
    // Typed reads: no value when the key is missing or holds another type.
    std::optional<std::string> string(const std::string& key) const;
    std::optional<std::int64_t> integer(const std::string& key) const;
    std::optional<std::vector<std::string>> stringList(const std::string& key) const;

    void set(const std::string& key, json::Value value);
    void remove(const std::string& key);
    // Forgets every value and deletes the file.
    void clear();

private:
    DefaultsSuite(std::string name, std::optional<std::filesystem::path> file);

    void loadLocked();
    void saveLocked();

    const std::string m_name;
    const std::optional<std::filesystem::path> m_file;
    mutable std::mutex m_mutex;
    json::Value m_values = json::Value::object();
    // The file could not be read and not be moved aside: it is never written over.
    bool m_keepsFile = false;
};

}  // namespace vorn::tally::system
