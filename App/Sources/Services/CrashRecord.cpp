#include "CrashRecord.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "JSON.h"

namespace vorn {

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
            const auto address = json::asString(&frame);
            if (!address || !address->starts_with("0x")) {
                continue;
            }
            std::uint64_t parsed = 0;
            const char* begin = address->data() + 2;
            const char* end = address->data() + address->size();
            const auto [next, error] = std::from_chars(begin, end, parsed, 16);
            if (error == std::errc() && next == end) {
                record.frames.push_back(parsed);
            }
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
