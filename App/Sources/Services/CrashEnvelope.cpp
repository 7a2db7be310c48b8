#include "CrashEnvelope.h"

#include <cstdio>
#include <ctime>

#include "HttpSession.h"
#include "JSON.h"

namespace vorn {
namespace {

constexpr std::string_view clientName = "vorn.crash/1.0";

std::string eventIdText(const Uuid& id) {
    std::string text;
    for (char c : id.string()) {
        if (c == '-') {
            continue;
        }
        text += c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

std::string isoTimestamp(Date date) {
    const auto seconds = static_cast<std::time_t>(date.unixSeconds());
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return buffer;
}

std::string hexAddress(std::uint64_t address) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(address));
    return buffer;
}

// The debug identifier the envelope protocol derives from an ELF build id: its first 16 bytes
// (zero-padded) read as a little-endian GUID.
std::string debugIdOf(const std::string& buildId) {
    std::string bytes(32, '0');
    for (std::size_t i = 0; i < 32 && i < buildId.size(); ++i) {
        bytes[i] = buildId[i];
    }
    const auto byteAt = [&](int index) {
        return bytes.substr(static_cast<std::size_t>(index) * 2, 2);
    };
    std::string id;
    for (int index : {3, 2, 1, 0}) {
        id += byteAt(index);
    }
    id += '-';
    id += byteAt(5) + byteAt(4) + "-" + byteAt(7) + byteAt(6) + "-";
    for (int index = 8; index < 16; ++index) {
        id += byteAt(index);
        if (index == 9) {
            id += '-';
        }
    }
    return id;
}

// The file name alone: full paths would tell the service the user's name and folders.
std::string fileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

json::Value debugImages(const CrashRecord& record) {
    json::Value images = json::Value::array();
    for (const LoadedModule& module : record.modules) {
        json::Value image = {
            {"type", "elf"},
            {"code_file", fileName(module.path)},
            {"image_addr", hexAddress(module.address)},
            {"image_size", module.size},
        };
        if (!module.buildId.empty()) {
            image["code_id"] = module.buildId;
            image["debug_id"] = debugIdOf(module.buildId);
        }
        images.push_back(std::move(image));
    }
    return images;
}

std::string describe(const CrashRecord& record) {
    if (record.kind == "exception") {
        return "Uncaught exception";
    }
    if (record.type == "SIGSEGV") {
        return "Segmentation fault";
    }
    if (record.type == "SIGBUS") {
        return "Bus error";
    }
    if (record.type == "SIGILL") {
        return "Illegal instruction";
    }
    if (record.type == "SIGFPE") {
        return "Floating-point exception";
    }
    if (record.type == "SIGABRT") {
        return "Aborted";
    }
    return "Fatal signal";
}

}  // namespace

std::optional<Dsn> Dsn::parse(std::string_view text) {
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view scheme = text.substr(0, schemeEnd);
    if (scheme != "http" && scheme != "https") {
        return std::nullopt;
    }
    const std::string_view rest = text.substr(schemeEnd + 3);
    const auto pathStart = rest.find('/');
    if (pathStart == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view authority = rest.substr(0, pathStart);
    const auto at = authority.rfind('@');
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view userInfo = authority.substr(0, at);
    const std::string_view publicKey = userInfo.substr(0, userInfo.find(':'));
    const std::string_view host = authority.substr(at + 1);
    std::string_view path = rest.substr(pathStart + 1);
    while (path.ends_with('/')) {
        path.remove_suffix(1);
    }
    const auto lastSlash = path.rfind('/');
    const std::string_view project =
        lastSlash == std::string_view::npos ? path : path.substr(lastSlash + 1);
    const std::string_view prefix =
        lastSlash == std::string_view::npos ? std::string_view() : path.substr(0, lastSlash + 1);
    if (publicKey.empty() || host.empty() || project.empty()) {
        return std::nullopt;
    }
    Dsn dsn;
    dsn.text = std::string(text);
    dsn.publicKey = std::string(publicKey);
    dsn.envelopeURL = std::string(scheme) + "://" + std::string(host) + "/" + std::string(prefix)
                      + "api/" + std::string(project) + "/envelope/";
    if (!host::isValidURL(dsn.envelopeURL)) {
        return std::nullopt;
    }
    return dsn;
}

std::string Dsn::authHeaderValue() const {
    return "Sentry sentry_version=7, sentry_key=" + publicKey
           + ", sentry_client=" + std::string(clientName);
}

std::string crashEnvelope(const CrashRecord& record,
                          const Dsn& dsn,
                          const Uuid& eventId,
                          Date sentAt) {
    const std::string id = eventIdText(eventId);
    json::Value frames = json::Value::array();
    // Outermost call first.
    for (auto it = record.frames.rbegin(); it != record.frames.rend(); ++it) {
        frames.push_back({{"instruction_addr", hexAddress(*it)}});
    }
    json::Value mechanism = {
        {"type", record.kind == "exception" ? "cpp_exception" : "signalhandler"},
        {"handled", false},
    };
    if (record.kind == "signal") {
        mechanism["meta"] = {{"signal", {{"number", record.signal}, {"name", record.type}}}};
    }
    json::Value exception = {
        {"type", record.type},
        {"value", describe(record)},
        {"mechanism", mechanism},
    };
    if (!frames.empty()) {
        // The crashing frame's address is the instruction itself, every other a return address.
        exception["stacktrace"] = {{"frames", frames},
                                   {"instruction_addr_adjustment", "all_but_first"}};
    }
    json::Value event = {
        {"event_id", id},
        {"timestamp", record.timestamp},
        {"platform", "native"},
        {"level", "fatal"},
        {"release", record.release},
        {"environment", record.environment},
        {"exception", {{"values", json::Value::array({exception})}}},
    };
    if (!record.modules.empty()) {
        event["debug_meta"] = {{"images", debugImages(record)}};
    }
    const std::string payload = json::writeCompact(event).value_or("{}");
    const json::Value header = {
        {"event_id", id}, {"dsn", dsn.text}, {"sent_at", isoTimestamp(sentAt)}};
    const json::Value itemHeader = {{"type", "event"}, {"length", payload.size()}};
    return json::writeCompact(header).value_or("{}") + "\n"
           + json::writeCompact(itemHeader).value_or("{}") + "\n" + payload + "\n";
}

}  // namespace vorn
