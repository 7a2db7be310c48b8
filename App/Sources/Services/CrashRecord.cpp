#include "CrashRecord.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "JSON.h"

namespace vorn {
namespace {

// "0x" and hexadecimal digits.
std::optional<std::uint64_t> hexAddress(const std::optional<std::string>& text) {
    if (!text || !text->starts_with("0x")) {
        return std::nullopt;
    }
    std::uint64_t parsed = 0;
    const char* begin = text->data() + 2;
    const char* end = text->data() + text->size();
    const auto [next, error] = std::from_chars(begin, end, parsed, 16);
    if (error != std::errc() || next != end || begin == end) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

std::optional<CrashRecord> CrashRecord::parse(std::string_view text) {
    const auto value = json::parse(text);
    if (!value || !value->is_object()) {
        return std::nullopt;
    }
    CrashRecord record;
    auto kind = json::asString(json::member(*value, "kind"));
    auto type = json::asString(json::member(*value, "type"));
    const auto timestamp = json::asDouble(json::member(*value, "timestamp"));
    if (!kind || !type || !timestamp || (*kind != "signal" && *kind != "exception")) {
        return std::nullopt;
    }
    record.kind = std::move(*kind);
    record.type = std::move(*type);
    record.timestamp = *timestamp;
    record.signal = static_cast<int>(json::asInt(json::member(*value, "signal")).value_or(0));
    record.release = json::asString(json::member(*value, "release")).value_or("");
    record.environment = json::asString(json::member(*value, "environment")).value_or("");
    if (const json::Value* frames = json::member(*value, "frames"); frames && frames->is_array()) {
        for (const auto& frame : *frames) {
            if (const auto address = hexAddress(json::asString(&frame))) {
                record.frames.push_back(*address);
            }
        }
    }
    if (const json::Value* modules = json::member(*value, "modules");
        modules && modules->is_array()) {
        for (const auto& entry : *modules) {
            if (!entry.is_object()) {
                continue;
            }
            LoadedModule module;
            module.path = json::asString(json::member(entry, "path")).value_or("");
            const auto address = hexAddress(json::asString(json::member(entry, "address")));
            const auto size = json::asInt(json::member(entry, "size"));
            if (module.path.empty() || !address || !size || *size <= 0) {
                continue;
            }
            module.address = *address;
            module.size = static_cast<std::uint64_t>(*size);
            module.buildId = json::asString(json::member(entry, "buildId")).value_or("");
            record.modules.push_back(std::move(module));
        }
    }
    return record;
}

std::vector<std::filesystem::path> pendingCrashRecords(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> records;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const auto& path = entry.path();
        if (entry.is_regular_file(error) && path.extension() == ".json"
            && !path.filename().string().starts_with(".")) {
            records.push_back(path);
        }
    }
    // Named by the time of the crash.
    std::sort(records.begin(), records.end());
    return records;
}

std::size_t removeCrashRecords(const std::filesystem::path& directory) {
    std::size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const auto name = entry.path().filename().string();
        const bool record = entry.path().extension() == ".json" && !name.starts_with(".");
        const bool leftover = name.starts_with(".") && entry.path().extension() == ".tmp";
        if ((record || leftover) && std::filesystem::remove(entry.path(), error) && record) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace vorn
