#include "JSON.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "Text.h"

namespace vorn::json {
namespace {

// Rejects documents nested deeper than the limit before the parser sees them, so that hostile
// input cannot exhaust the stack anywhere downstream.
bool nestingWithin(std::string_view text, int maxDepth) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) {
                return false;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// Length of the valid UTF-8 sequence at text[i], or 0 when it is invalid.
std::size_t validSequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) {
            low = 0xA0;
        } else if (c == 0xED) {
            high = 0x9F;  // no UTF-16 surrogates
        }
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) {
            low = 0x90;
        } else if (c == 0xF4) {
            high = 0x8F;
        }
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void appendString(std::string& out, std::string_view raw) {
    out += '"';
    for (std::size_t i = 0; i < raw.size();) {
        const std::size_t length = validSequenceLength(raw, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(raw.substr(i, length));
            i += length;
            continue;
        }
        const char c = raw[i++];
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '/':
                out += "\\/";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

// Doubles are written in their shortest round-trip form; whole numbers lose the fraction, and
// very large or small magnitudes use an exponent.
bool appendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    char buffer[64];
    const double magnitude = std::fabs(value);
    std::to_chars_result result{};
    if (value == std::trunc(value) && magnitude < 1e16) {
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
    } else if (magnitude >= 1e-4 && magnitude < 1e16) {
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    } else {
        result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    }
    if (result.ec != std::errc()) {
        return false;
    }
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    if (text == "-0") {
        text = "0";
    }
    out.append(text);
    return true;
}

class Writer {
public:
    Writer(std::string& out, bool pretty)
        : m_out(out)
        , m_pretty(pretty) {}

    bool write(const Value& value, int depth) {
        switch (value.type()) {
            case Value::value_t::null:
                m_out += "null";
                return true;
            case Value::value_t::boolean:
                m_out += value.get<bool>() ? "true" : "false";
                return true;
            case Value::value_t::number_integer:
                m_out += std::to_string(value.get<std::int64_t>());
                return true;
            case Value::value_t::number_unsigned:
                m_out += std::to_string(value.get<std::uint64_t>());
                return true;
            case Value::value_t::number_float:
                return appendDouble(m_out, value.get<double>());
            case Value::value_t::string:
                appendString(m_out, value.get_ref<const std::string&>());
                return true;
            case Value::value_t::array:
                return writeContainer(value, depth, '[', ']');
            case Value::value_t::object:
                return writeContainer(value, depth, '{', '}');
            case Value::value_t::binary:
            case Value::value_t::discarded:
                return false;
        }
        return false;
    }

    void newline(int depth) {
        if (m_pretty) {
            m_out += '\n';
            m_out.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
    }

    // The end of a container that holds nothing.
    void closeEmpty(int depth, char close) {
        if (m_pretty) {
            m_out += '\n';
            newline(depth);
        }
        m_out += close;
    }

    void writeKey(std::string_view key) {
        appendString(m_out, key);
        m_out += m_pretty ? " : " : ":";
    }

private:
    bool writeContainer(const Value& value, int depth, char open, char close) {
        m_out += open;
        if (value.empty()) {
            closeEmpty(depth, close);
            return true;
        }
        bool first = true;
        // nlohmann keeps object members in a std::map, so iteration is in byte order of keys.
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first) {
                m_out += ',';
            }
            first = false;
            newline(depth + 1);
            if (value.is_object()) {
                writeKey(it.key());
            }
            if (!write(*it, depth + 1)) {
                return false;
            }
        }
        newline(depth);
        m_out += close;
        return true;
    }

    std::string& m_out;
    bool m_pretty;
};

// The UTF-16 unit of four hexadecimal digits at text[at], if they are there.
std::optional<unsigned> hexUnit(std::string_view text, std::size_t at) {
    if (at + 4 > text.size()) {
        return std::nullopt;
    }
    unsigned unit = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
        const int digit = text::hexDigitValue(text[k]);
        if (digit < 0) {
            return std::nullopt;
        }
        unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return unit;
}

bool isHighSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::optional<std::string> repairedJSONText(std::string_view text) {
    std::string out;
    std::size_t copied = 0;  // text before this offset is already in out
    const auto replace = [&](std::size_t from, std::size_t to, std::string_view with) {
        out.append(text.substr(copied, from - copied));
        out.append(with);
        copied = to;
    };
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = validSequenceLength(text, i);
            if (length == 0) {
                replace(i, i + 1, "\xEF\xBF\xBD");
                ++i;
            } else {
                i += length;
            }
            continue;
        }
        if (c == '"') {
            inString = !inString;
            ++i;
            continue;
        }
        if (!inString || c != '\\') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || text[i + 1] != 'u') {
            i += 2;
            continue;
        }
        const auto unit = hexUnit(text, i + 2);
        if (!unit || (!isHighSurrogate(*unit) && !isLowSurrogate(*unit))) {
            i += 2;
            continue;
        }
        if (isHighSurrogate(*unit) && i + 8 <= text.size() && text[i + 6] == '\\'
            && text[i + 7] == 'u') {
            const auto next = hexUnit(text, i + 8);
            if (next && isLowSurrogate(*next)) {
                i += 12;
                continue;
            }
        }
        replace(i, i + 6, "\\uFFFD");
        i += 6;
    }
    if (copied == 0) {
        return std::nullopt;
    }
    out.append(text.substr(copied));
    return out;
}

namespace {

// Builds the tree from the parser's events and notes a key given twice in one object, the last
// value taken. The library's own builder with a callback rescans the enclosing container at the
// end of every object, which makes a list of many objects quadratic to read.
class TreeBuilder {
public:
    bool null() { return put(nullptr); }
    bool boolean(bool value) { return put(value); }
    bool number_integer(Value::number_integer_t value) { return put(value); }
    bool number_unsigned(Value::number_unsigned_t value) { return put(value); }
    bool number_float(Value::number_float_t value, const Value::string_t& /*text*/) {
        return put(value);
    }
    bool string(Value::string_t& value) { return put(std::move(value)); }
    bool binary(Value::binary_t& value) { return put(Value::binary(std::move(value))); }
    bool start_object(std::size_t /*elements*/) { return open(Value::object()); }
    bool key(Value::string_t& key) {
        Value& object = *m_open.back();
        if (object.contains(key)) {
            m_duplicateKeys = true;
        }
        m_member = &object[std::move(key)];
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t /*elements*/) { return open(Value::array()); }
    bool end_array() { return close(); }
    template <typename Exception>
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception&) {
        return false;
    }

    bool duplicateKeys() const { return m_duplicateKeys; }
    Value take() { return std::move(m_root); }

private:
    // Where the next value goes: the root, the end of the open array, or the member just named.
    Value* place(Value value) {
        if (m_open.empty()) {
            m_root = std::move(value);
            return &m_root;
        }
        Value& container = *m_open.back();
        if (container.is_array()) {
            container.push_back(std::move(value));
            return &container.back();
        }
        *m_member = std::move(value);
        return m_member;
    }
    bool put(Value value) {
        place(std::move(value));
        return true;
    }
    bool open(Value container) {
        m_open.push_back(place(std::move(container)));
        return true;
    }
    bool close() {
        m_open.pop_back();
        return true;
    }

    Value m_root;
    std::vector<Value*> m_open;
    Value* m_member = nullptr;
    bool m_duplicateKeys = false;
};

}  // namespace

std::optional<Value> parse(std::string_view text, int maxDepth) {
    ParseOptions options;
    options.maxDepth = maxDepth;
    return parse(text, options);
}

std::optional<Value> parse(std::string_view text,
                           const ParseOptions& options,
                           ParseReport* report) {
    ParseReport local;
    ParseReport& found = report != nullptr ? *report : local;
    found = {};
    std::optional<std::string> repaired;
    if (options.repairText) {
        repaired = repairedJSONText(text);
        if (repaired) {
            found.repairedText = true;
            text = *repaired;
        }
    }
    if (!nestingWithin(text, options.maxDepth)) {
        return std::nullopt;
    }
    TreeBuilder builder;
    if (!Value::sax_parse(text.begin(), text.end(), &builder, nlohmann::json::input_format_t::json,
                          true)) {
        return std::nullopt;
    }
    found.duplicateKeys = builder.duplicateKeys();
    if (options.rejectDuplicateKeys && found.duplicateKeys) {
        return std::nullopt;
    }
    return builder.take();
}

std::optional<std::string> writePretty(const Value& value) {
    std::string out;
    if (!Writer(out, true).write(value, 0)) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> writeCompact(const Value& value) {
    std::string out;
    if (!Writer(out, false).write(value, 0)) {
        return std::nullopt;
    }
    return out;
}

void Emitter::beginObject() {
    begin('{');
}

void Emitter::beginArray() {
    begin('[');
}

void Emitter::endObject() {
    end('}');
}

void Emitter::endArray() {
    end(']');
}

void Emitter::key(std::string_view key) {
    separate();
    Writer(m_out, true).writeKey(key);
    m_afterKey = true;
}

bool Emitter::value(const Value& value) {
    separate();
    return Writer(m_out, true).write(value, depth());
}

std::string Emitter::take() {
    return std::move(m_out);
}

int Emitter::depth() const {
    return static_cast<int>(m_empty.size());
}

void Emitter::separate() {
    if (std::exchange(m_afterKey, false) || m_empty.empty()) {
        return;
    }
    if (m_empty.back()) {
        m_empty.back() = false;
    } else {
        m_out += ',';
    }
    Writer(m_out, true).newline(depth());
}

void Emitter::begin(char open) {
    separate();
    m_out += open;
    m_empty.push_back(true);
}

void Emitter::end(char close) {
    const bool empty = m_empty.back();
    m_empty.pop_back();
    Writer writer(m_out, true);
    if (empty) {
        writer.closeEmpty(depth(), close);
        return;
    }
    writer.newline(depth());
    m_out += close;
}

std::string sanitizeUTF8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = validSequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

const Value* member(const Value& object, std::string_view key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<std::string> asString(const Value* value) {
    if (value == nullptr || !value->is_string()) {
        return std::nullopt;
    }
    return value->get<std::string>();
}

std::optional<bool> asBool(const Value* value) {
    if (value == nullptr || !value->is_boolean()) {
        return std::nullopt;
    }
    return value->get<bool>();
}

std::optional<double> asDouble(const Value* value) {
    if (value == nullptr || !value->is_number()) {
        return std::nullopt;
    }
    const double d = value->get<double>();
    if (!std::isfinite(d)) {
        return std::nullopt;
    }
    return d;
}

std::optional<std::int64_t> asInt(const Value* value) {
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->is_number_integer() && !value->is_number_unsigned()) {
        return value->get<std::int64_t>();
    }
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(u);
    }
    if (value->is_number_float()) {
        // A whole number written with a fraction (3.0) converts; 3.5 does not.
        const double d = value->get<double>();
        if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0
            || d >= 9223372036854775808.0) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> asUInt32(const Value* value) {
    const auto n = asInt(value);
    if (!n || *n < 0 || *n > 4294967295LL) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*n);
}

}  // namespace vorn::json
