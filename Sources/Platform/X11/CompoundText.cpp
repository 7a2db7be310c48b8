#include "CompoundText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "JSON.h"

#include <iconv.h>

namespace vorn::platform::x11 {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";
constexpr std::uint8_t esc = 0x1B;
constexpr std::uint8_t csi = 0x9B;

// A character set as designated to the left (GL) or right (GR) half. Sets that iconv knows are
// named by it in their 8-bit form (ISO 8859 parts, EUC for the 94x94 sets).
struct Charset {
    enum class Kind {
        ascii,
        latin1,
        katakana,
        single,  // another 96-character set, through iconv
        double94,
        unknown
    };
    Kind kind = Kind::ascii;
    const char* iconvName = nullptr;
};

Charset set94(std::uint8_t final) {
    switch (final) {
        case 'B':
        case 'J':  // JIS X 0201 Roman: ASCII but for two signs
            return {Charset::Kind::ascii};
        case 'I':
            return {Charset::Kind::katakana};
        default:
            return {Charset::Kind::unknown};
    }
}

Charset set96(std::uint8_t final) {
    struct Known {
        std::uint8_t final;
        const char* name;
    };
    static constexpr Known known[] = {
        {'B', "ISO-8859-2"},  {'C', "ISO-8859-3"},  {'D', "ISO-8859-4"},  {'L', "ISO-8859-5"},
        {'G', "ISO-8859-6"},  {'F', "ISO-8859-7"},  {'H', "ISO-8859-8"},  {'M', "ISO-8859-9"},
        {'V', "ISO-8859-10"}, {'T', "ISO-8859-11"}, {'Y', "ISO-8859-13"}, {'_', "ISO-8859-14"},
        {'b', "ISO-8859-15"}, {'f', "ISO-8859-16"},
    };
    if (final == 'A') {
        return {Charset::Kind::latin1};
    }
    for (const Known& k : known) {
        if (k.final == final) {
            return {Charset::Kind::single, k.name};
        }
    }
    return {Charset::Kind::unknown};
}

Charset set94x94(std::uint8_t final) {
    switch (final) {
        case 'A':
            return {Charset::Kind::double94, "EUC-CN"};
        case 'B':
            return {Charset::Kind::double94, "EUC-JP"};
        case 'C':
            return {Charset::Kind::double94, "EUC-KR"};
        default:
            return {Charset::Kind::unknown};
    }
}

// The part of an encoding named "iso8859-<part>"; 0 for any other name.
int iso8859Part(std::string_view name) {
    constexpr std::string_view prefix = "iso8859-";
    if (!name.starts_with(prefix) || name.size() < prefix.size() + 1
        || name.size() > prefix.size() + 2) {
        return 0;
    }
    int part = 0;
    for (char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') {
            return 0;
        }
        part = part * 10 + (c - '0');
    }
    return part >= 1 && part <= 16 && part != 12 ? part : 0;
}

void appendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Converts with iconv; a byte it cannot take becomes U+FFFD (two for a double-byte set).
void appendConverted(std::string& out, const char* from, std::string_view bytes, std::size_t step) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (std::size_t i = 0; i < bytes.size(); i += step) {
            out += replacement;
        }
        return;
    }
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::string buffer(4 * bytes.size() + 4, '\0');
    while (inLeft > 0) {
        char* outStart = buffer.data();
        char* outPos = outStart;
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(cd, &in, &inLeft, &outPos, &outLeft);
        out.append(outStart, static_cast<std::size_t>(outPos - outStart));
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // Not defined in the set, or cut short: one replacement, then on.
        out += replacement;
        const std::size_t skip = std::min(step, inLeft);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
}

class Decoder {
public:
    explicit Decoder(std::span<const std::uint8_t> bytes)
        : m_in(bytes) {}

    std::string run() {
        while (m_pos < m_in.size()) {
            const std::uint8_t byte = m_in[m_pos];
            if (byte == esc) {
                flush();
                escape();
            } else if (byte == csi) {
                flush();
                skipControlSequence();
            } else if (byte == '\t' || byte == '\n') {
                flush();
                m_out.push_back(static_cast<char>(byte));
                ++m_pos;
            } else if (byte == ' ') {
                // A space in every set of the left half.
                flush();
                m_out.push_back(' ');
                ++m_pos;
            } else if (byte > 0x20 && byte < 0x7F) {
                take(m_gl, byte | 0x80u);
            } else if (byte >= 0xA0) {
                take(m_gr, byte);
            } else {
                // Other control characters have no place in a title.
                ++m_pos;
            }
        }
        flush();
        return std::move(m_out);
    }

private:
    // Takes one character (two bytes for a double-byte set), in its right-half (8-bit) form.
    void take(const Charset& set, unsigned rightHalf) {
        const auto right = static_cast<std::uint8_t>(rightHalf);
        if (set.kind != Charset::Kind::single && set.kind != Charset::Kind::double94) {
            flush();
        }
        switch (set.kind) {
            case Charset::Kind::ascii:
                m_out.push_back(static_cast<char>(right & 0x7F));
                ++m_pos;
                return;
            case Charset::Kind::latin1:
                appendCodePoint(m_out, right);
                ++m_pos;
                return;
            case Charset::Kind::katakana:
                if (right >= 0xA1 && right <= 0xDF) {
                    appendCodePoint(m_out, 0xFF61u + (right - 0xA1u));
                } else {
                    m_out += replacement;
                }
                ++m_pos;
                return;
            case Charset::Kind::single:
                queue(set.iconvName, 1, right);
                ++m_pos;
                return;
            case Charset::Kind::double94:
                queue(set.iconvName, 2, right);
                ++m_pos;
                return;
            case Charset::Kind::unknown:
                m_out += replacement;
                ++m_pos;
                return;
        }
    }

    void queue(const char* name, std::size_t step, std::uint8_t byte) {
        if (m_pendingName != name) {
            flush();
            m_pendingName = name;
            m_pendingStep = step;
        }
        m_pending.push_back(static_cast<char>(byte));
    }

    void flush() {
        if (!m_pending.empty()) {
            appendConverted(m_out, m_pendingName, m_pending, m_pendingStep);
            m_pending.clear();
        }
        m_pendingName = nullptr;
    }

    // ESC, intermediate bytes (0x20 to 0x2F), a final byte (0x30 to 0x7E).
    void escape() {
        std::size_t i = m_pos + 1;
        std::string intermediates;
        while (i < m_in.size() && m_in[i] >= 0x20 && m_in[i] <= 0x2F) {
            intermediates.push_back(static_cast<char>(m_in[i++]));
        }
        if (i >= m_in.size()) {
            m_pos = m_in.size();
            return;
        }
        const std::uint8_t final = m_in[i];
        m_pos = i + 1;
        if (intermediates == "(") {
            m_gl = set94(final);
        } else if (intermediates == ")") {
            m_gr = set94(final);
        } else if (intermediates == "-") {
            m_gr = set96(final);
        } else if (intermediates == "$(" || (intermediates == "$" && final <= 'C')) {
            m_gl = set94x94(final);
        } else if (intermediates == "$)") {
            m_gr = set94x94(final);
        } else if (intermediates == "%" && final == 'G') {
            utf8Segment();
        } else if (intermediates == "%/" && final >= '0' && final <= '4') {
            extendedSegment();
        }
        // Any other sequence is skipped, and the bytes after it read as before.
    }

    // UTF-8 up to ESC % @ or the end.
    void utf8Segment() {
        static constexpr std::uint8_t end[] = {esc, '%', '@'};
        std::size_t stop = m_pos;
        while (stop < m_in.size()
               && !(stop + 3 <= m_in.size() && std::memcmp(&m_in[stop], end, 3) == 0)) {
            ++stop;
        }
        m_out += json::sanitizeUTF8(
            std::string_view(reinterpret_cast<const char*>(m_in.data() + m_pos), stop - m_pos));
        m_pos = std::min(stop + 3, m_in.size());
    }

    // Two length bytes M L (length = (M - 128) * 128 + L - 128), then the encoding's name up to
    // STX, then the text.
    void extendedSegment() {
        if (m_pos + 2 > m_in.size()) {
            m_pos = m_in.size();
            return;
        }
        const std::size_t length = ((m_in[m_pos] & 0x7Fu) << 7) | (m_in[m_pos + 1] & 0x7Fu);
        m_pos += 2;
        const std::size_t end = std::min(m_in.size(), m_pos + length);
        std::size_t stx = m_pos;
        while (stx < end && m_in[stx] != 0x02) {
            ++stx;
        }
        std::string name(reinterpret_cast<const char*>(m_in.data() + m_pos), stx - m_pos);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        const std::string_view text(
            reinterpret_cast<const char*>(m_in.data()) + std::min(stx + 1, end),
            end - std::min(stx + 1, end));
        if (name == "utf-8") {
            m_out += json::sanitizeUTF8(text);
        } else if (const int part = iso8859Part(name); part > 0) {
            appendConverted(m_out, ("ISO-8859-" + std::to_string(part)).c_str(), text, 1);
        } else if (!text.empty()) {
            m_out += replacement;
        }
        m_pos = end;
    }

    // CSI, parameter and intermediate bytes, a final byte (0x40 to 0x7E): direction marks.
    void skipControlSequence() {
        ++m_pos;
        while (m_pos < m_in.size() && !(m_in[m_pos] >= 0x40 && m_in[m_pos] <= 0x7E)) {
            ++m_pos;
        }
        if (m_pos < m_in.size()) {
            ++m_pos;
        }
    }

    std::span<const std::uint8_t> m_in;
    std::size_t m_pos = 0;
    std::string m_out;
    Charset m_gl{Charset::Kind::ascii};
    Charset m_gr{Charset::Kind::latin1};
    std::string m_pending;
    const char* m_pendingName = nullptr;
    std::size_t m_pendingStep = 1;
};

}  // namespace

std::string compoundTextToUTF8(std::span<const std::uint8_t> bytes) {
    return Decoder(bytes).run();
}

}  // namespace vorn::platform::x11
