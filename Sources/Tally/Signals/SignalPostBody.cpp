#include "Signals/SignalPostBody.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "Text.h"

namespace vorn::tally {
namespace {

// 0001-01-01T00:00:00Z and 9999-12-31T23:59:59Z as Unix seconds: the four-digit years.
constexpr double earliestUnixSeconds = -62135596800.0;
constexpr double latestUnixSeconds = 253402300799.0;

bool isWritable(Date date) {
    const double unix = std::floor(date.unixSeconds());
    return std::isfinite(unix) && unix >= earliestUnixSeconds && unix <= latestUnixSeconds;
}

bool appendMember(std::string& out, std::string_view key, const json::Value& value) {
    const auto written = json::writeCompact(value);
    if (!written) {
        return false;
    }
    if (out.size() > 1) {
        out += ',';
    }
    out += '"';
    out += key;
    out += "\":";
    out += *written;
    return true;
}

std::optional<std::string> requiredString(const json::Value& object, std::string_view key) {
    return json::asString(json::member(object, key));
}

}  // namespace

std::optional<std::string> formatTimestamp(Date date) {
    if (!isWritable(date)) {
        return std::nullopt;
    }
    const auto seconds = static_cast<std::time_t>(std::floor(date.unixSeconds()));
    std::tm parts{};
    if (::gmtime_r(&seconds, &parts) == nullptr) {
        return std::nullopt;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d+0000", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return std::string(buffer);
}

std::optional<Date> parseTimestamp(std::string_view text) {
    // yyyy-MM-ddTHH:mm:ss±hhmm
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':'
        || text[16] != ':' || (text[19] != '+' && text[19] != '-')) {
        return std::nullopt;
    }
    const auto year = text::decimalValue(text, 0, 4);
    const auto month = text::decimalValue(text, 5, 2);
    const auto day = text::decimalValue(text, 8, 2);
    const auto hour = text::decimalValue(text, 11, 2);
    const auto minute = text::decimalValue(text, 14, 2);
    const auto second = text::decimalValue(text, 17, 2);
    const auto zoneHours = text::decimalValue(text, 20, 2);
    const auto zoneMinutes = text::decimalValue(text, 22, 2);
    if (!year || !month || !day || !hour || !minute || !second || !zoneHours || !zoneMinutes
        || *year < 1 || *month < 1 || *month > 12 || *day < 1 || *hour > 23 || *minute > 59
        || *second > 59 || *zoneMinutes > 59) {
        return std::nullopt;
    }
    std::tm parts{};
    parts.tm_year = *year - 1900;
    parts.tm_mon = *month - 1;
    parts.tm_mday = *day;
    parts.tm_hour = *hour;
    parts.tm_min = *minute;
    parts.tm_sec = *second;
    const std::time_t local = ::timegm(&parts);
    // timegm normalises 31 February into March; such a date is not valid text.
    if (parts.tm_mday != *day || parts.tm_mon != *month - 1) {
        return std::nullopt;
    }
    const int offset = (*zoneHours * 3600 + *zoneMinutes * 60) * (text[19] == '-' ? -1 : 1);
    return Date::fromUnix(static_cast<double>(local) - offset);
}

std::optional<std::string> JSONEncoder::encode(const SignalPostBody& record) const {
    json::Value date;
    if (dateCoding == DateCoding::timestamp) {
        const auto text = formatTimestamp(record.receivedAt);
        if (!text) {
            return std::nullopt;
        }
        date = *text;
    } else {
        if (!isWritable(record.receivedAt)) {
            return std::nullopt;
        }
        date = record.receivedAt.secondsSinceReference();
    }
    std::string out = "{";
    const bool written =
        appendMember(out, "receivedAt", date) && appendMember(out, "appID", record.appID)
        && appendMember(out, "clientUser", record.clientUser)
        && appendMember(out, "sessionID", record.sessionID)
        && appendMember(out, "type", record.type)
        && (!record.floatValue || appendMember(out, "floatValue", *record.floatValue))
        && appendMember(out, "payload", json::Value(record.payload))
        && appendMember(out, "isTestMode", record.isTestMode);
    if (!written) {
        return std::nullopt;
    }
    out += '}';
    return out;
}

std::optional<std::string> JSONEncoder::encode(const std::vector<SignalPostBody>& records) const {
    std::string out = "[";
    for (const auto& record : records) {
        const auto object = encode(record);
        if (!object) {
            return std::nullopt;
        }
        if (out.size() > 1) {
            out += ',';
        }
        out += *object;
    }
    out += ']';
    return out;
}

JSONEncoder tallyEncoder() {
    return JSONEncoder{DateCoding::timestamp};
}

std::optional<SignalPostBody> JSONDecoder::decode(const json::Value& object) const {
    if (!object.is_object()) {
        return std::nullopt;
    }
    SignalPostBody record;
    const json::Value* date = json::member(object, "receivedAt");
    if (dateCoding == DateCoding::timestamp) {
        const auto text = json::asString(date);
        const auto parsed = text ? parseTimestamp(*text) : std::nullopt;
        if (!parsed) {
            return std::nullopt;
        }
        record.receivedAt = *parsed;
    } else {
        const auto seconds = json::asDouble(date);
        if (!seconds || !isWritable(Date(*seconds))) {
            return std::nullopt;
        }
        record.receivedAt = Date(*seconds);
    }
    auto appID = requiredString(object, "appID");
    auto clientUser = requiredString(object, "clientUser");
    auto sessionID = requiredString(object, "sessionID");
    auto type = requiredString(object, "type");
    auto isTestMode = requiredString(object, "isTestMode");
    const json::Value* payload = json::member(object, "payload");
    if (!appID || !clientUser || !sessionID || !type || !isTestMode || payload == nullptr
        || !payload->is_object()) {
        return std::nullopt;
    }
    for (const auto& [key, value] : payload->items()) {
        auto text = json::asString(&value);
        if (!text) {
            return std::nullopt;
        }
        record.payload.emplace(key, std::move(*text));
    }
    // An explicit null counts as absent, as it would for any optional field.
    if (const json::Value* number = json::member(object, "floatValue");
        number != nullptr && !number->is_null()) {
        const auto value = json::asDouble(number);
        if (!value) {
            return std::nullopt;
        }
        record.floatValue = *value;
    }
    record.appID = std::move(*appID);
    record.clientUser = std::move(*clientUser);
    record.sessionID = std::move(*sessionID);
    record.type = std::move(*type);
    record.isTestMode = std::move(*isTestMode);
    return record;
}

std::optional<DecodedSignals> JSONDecoder::decodeArray(std::string_view text) const {
    // A record with a key twice has no one meaning; nothing ambiguous is ever sent.
    json::ParseOptions options;
    options.rejectDuplicateKeys = true;
    const auto parsed = json::parse(text, options);
    if (!parsed || !parsed->is_array()) {
        return std::nullopt;
    }
    DecodedSignals decoded;
    decoded.records.reserve(parsed->size());
    for (const auto& element : *parsed) {
        if (auto record = decode(element)) {
            decoded.records.push_back(std::move(*record));
        } else {
            ++decoded.rejected;
        }
    }
    return decoded;
}

}  // namespace vorn::tally
