#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Date.h"
#include "Helpers/Parameters.h"
#include "JSON.h"

namespace vorn::tally {

// One signal as sent to the service and as kept in the cache.
struct SignalPostBody {
    Date receivedAt;
    std::string appID;
    // Salted SHA-256 of the user identifier, lowercase hexadecimal.
    std::string clientUser;
    // Uppercase UUID text.
    std::string sessionID;
    std::string type;
    std::optional<double> floatValue;
    Parameters payload;
    // "true" or "false", as text.
    std::string isTestMode;

    // Dates compare exactly; a not-a-number floatValue never equals anything.
    friend bool operator==(const SignalPostBody&, const SignalPostBody&) = default;
};

// How a record's receivedAt is written.
enum class DateCoding {
    // A number: seconds since 2001-01-01 00:00:00 UTC with fraction (the cache file).
    secondsSinceReference,
    // Text "yyyy-MM-dd'T'HH:mm:ssZ" in UTC, whole seconds, such as 2026-12-08T08:17:26+0000
    // (requests).
    timestamp,
};

// The timestamp text of a date, or none for a date outside the years 1 to 9999.
std::optional<std::string> formatTimestamp(Date date);
// Reads timestamp text with any numeric zone offset; none for anything else.
std::optional<Date> parseTimestamp(std::string_view text);

// Writes records as JSON, keys in field order, floatValue left out when absent.
struct JSONEncoder {
    DateCoding dateCoding = DateCoding::secondsSinceReference;

    // None when a field cannot be written: a date outside the years 1 to 9999 or a
    // non-finite number, neither of which the other side could read back.
    std::optional<std::string> encode(const SignalPostBody& record) const;
    // The records as one JSON array, in order.
    std::optional<std::string> encode(const std::vector<SignalPostBody>& records) const;
};

// The encoder of request bodies.
JSONEncoder tallyEncoder();

struct DecodedSignals {
    std::vector<SignalPostBody> records;
    // Elements that were not valid records and were left out.
    std::size_t rejected = 0;
};

// Reads records. Every field but floatValue is required with its type; other keys are
// ignored.
struct JSONDecoder {
    DateCoding dateCoding = DateCoding::secondsSinceReference;

    std::optional<SignalPostBody> decode(const json::Value& object) const;
    // The valid records of a JSON array, in order; none when the text is not a JSON array or
    // an object in it holds a key twice.
    std::optional<DecodedSignals> decodeArray(std::string_view text) const;
};

}  // namespace vorn::tally
