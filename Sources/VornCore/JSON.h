#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vorn::json {

using Value = nlohmann::json;

// Parses UTF-8 JSON text. Never throws: malformed text, invalid UTF-8 or nesting deeper than
// maxDepth gives no value. An object with a key twice keeps the last value.
std::optional<Value> parse(std::string_view text, int maxDepth = 256);

struct ParseOptions {
    int maxDepth = 256;
    // Invalid UTF-8 and escapes of lone UTF-16 surrogates become U+FFFD instead of failing the
    // whole text, so one damaged string costs one character.
    bool repairText = false;
    // An object that holds a key twice fails the whole text: its meaning is ambiguous.
    bool rejectDuplicateKeys = false;
};

// What a parse met on the way; filled also when the parse fails.
struct ParseReport {
    bool repairedText = false;
    bool duplicateKeys = false;
};

std::optional<Value> parse(std::string_view text,
                           const ParseOptions& options,
                           ParseReport* report = nullptr);

// The text with invalid UTF-8 and escapes of lone surrogates inside strings replaced by U+FFFD
// (raw or as the escape \uFFFD); no value when there was nothing to repair.
std::optional<std::string> repairedJSONText(std::string_view text);

// The program's file form: two-space indent, `"key" : value`, keys in byte order, "/" written
// as "\/", non-ASCII characters raw, whole numbers without a fraction, an empty container as
// its brackets around a blank line, no trailing newline. Invalid UTF-8 in a string is written
// as U+FFFD. No value when the tree holds a non-finite number, which JSON cannot express.
std::optional<std::string> writePretty(const Value& value);

// The same text without any white space.
std::optional<std::string> writeCompact(const Value& value);

// Writes a text in the form of writePretty piece by piece, so that a large document need not
// be built as one tree first. Members of an object must be given in byte order of their keys,
// as a tree holds them; every begin needs its end before take().
class Emitter {
public:
    void beginObject();
    void beginArray();
    void endObject();
    void endArray();
    // The key of the object member whose value comes next.
    void key(std::string_view key);
    // A whole value. False for a non-finite number, which JSON cannot express: the text is of
    // no use then.
    bool value(const Value& value);
    std::string take();

private:
    int depth() const;
    void separate();
    void begin(char open);
    void end(char close);

    std::string m_out;
    // For each open container, whether it holds nothing yet.
    std::vector<bool> m_empty;
    bool m_afterKey = false;
};

// Replaces every invalid UTF-8 sequence with U+FFFD.
std::string sanitizeUTF8(std::string_view text);

// Lenient readers: a value of the wrong type, or a number that does not convert exactly,
// gives no value. Non-finite numbers never convert.
const Value* member(const Value& object, std::string_view key);
std::optional<std::string> asString(const Value* value);
std::optional<bool> asBool(const Value* value);
std::optional<double> asDouble(const Value* value);
std::optional<std::int64_t> asInt(const Value* value);
std::optional<std::uint32_t> asUInt32(const Value* value);

}  // namespace vorn::json
