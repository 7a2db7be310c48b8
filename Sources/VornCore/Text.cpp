#include "Text.h"

#include <algorithm>
#include <memory>

#include "JSON.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace vorn::text {
namespace {

bool isASCII(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

icu::UnicodeString fromUTF8(std::string_view utf8) {
    // Invalid sequences become U+FFFD here.
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

std::string toUTF8(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

// The composed form; the text unchanged when ICU cannot load its normalisation data.
icu::UnicodeString composed(const icu::UnicodeString& s) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || normalizer == nullptr) {
        return s;
    }
    icu::UnicodeString out = normalizer->normalize(s, status);
    return U_FAILURE(status) ? s : out;
}

bool isWhiteSpaceOrNewline(UChar32 c) {
    return u_isUWhiteSpace(c) != 0;
}

// Spaces and tabs, but not line breaks.
bool isSpaceOrTab(UChar32 c) {
    return c == 0x09 || u_charType(c) == U_SPACE_SEPARATOR;
}

template <typename Predicate>
void trim(icu::UnicodeString& s, Predicate drop) {
    int32_t end = s.length();
    while (end > 0) {
        const UChar32 c = s.char32At(end - 1);
        if (!drop(c)) {
            break;
        }
        end -= U16_LENGTH(c);
    }
    int32_t begin = 0;
    while (begin < end) {
        const UChar32 c = s.char32At(begin);
        if (!drop(c)) {
            break;
        }
        begin += U16_LENGTH(c);
    }
    s.retainBetween(begin, end);
}

// Whether a character (extended grapheme cluster) starts at the offset. Titles are compared by
// whole characters: "●" followed by a combining mark is not the marker.
bool isCharacterBoundary(const icu::UnicodeString& s, int32_t offset) {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_FAILURE(status) ? nullptr : std::move(it);
    }();
    if (!iterator) {
        return true;
    }
    iterator->setText(s);
    const bool boundary = iterator->isBoundary(offset) != 0;
    // Do not keep a reference to the caller's text.
    iterator->setText(icu::UnicodeString());
    return boundary;
}

bool dropCharacterSuffix(icu::UnicodeString& s, const icu::UnicodeString& suffix) {
    const int32_t start = s.length() - suffix.length();
    if (start < 0 || !s.endsWith(suffix) || !isCharacterBoundary(s, start)) {
        return false;
    }
    s.truncate(start);
    return true;
}

bool startsWithMarker(const icu::UnicodeString& s) {
    if (s.isEmpty()) {
        return false;
    }
    const char16_t first = s.charAt(0);
    const bool marker = first == u'\u25CF' || first == u'\u2022' || first == u'*';
    return marker && isCharacterBoundary(s, 1);
}

void dropEditedSuffixes(icu::UnicodeString& s) {
    static const icu::UnicodeString emDashEdited(u" \u2014 Edited");
    static const icu::UnicodeString hyphenEdited(u" - Edited");
    dropCharacterSuffix(s, emDashEdited);
    dropCharacterSuffix(s, hyphenEdited);
}

}  // namespace

std::string nfc(std::string_view utf8) {
    if (isASCII(utf8)) {
        return std::string(utf8);
    }
    return toUTF8(composed(icu::UnicodeString::fromUTF8(json::sanitizeUTF8(utf8))));
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    if (isASCII(a) && isASCII(b)) {
        return false;
    }
    return nfc(a) == nfc(b);
}

std::string trimmed(std::string_view utf8) {
    icu::UnicodeString s = fromUTF8(utf8);
    trim(s, isWhiteSpaceOrNewline);
    return toUTF8(s);
}

std::string normalizedTitle(std::string_view title, std::string_view appName) {
    icu::UnicodeString s = composed(fromUTF8(title));
    trim(s, isWhiteSpaceOrNewline);
    while (startsWithMarker(s)) {
        s.remove(0, 1);
        trim(s, isSpaceOrTab);
    }
    dropEditedSuffixes(s);

    const icu::UnicodeString app = fromUTF8(appName);
    const bool droppedApp = dropCharacterSuffix(s, composed(icu::UnicodeString(u" \u2014 ") + app))
                            || dropCharacterSuffix(s, composed(icu::UnicodeString(u" - ") + app));
    // Editors put the edited marker before or after the application's name.
    if (droppedApp) {
        dropEditedSuffixes(s);
    }

    trim(s, isWhiteSpaceOrNewline);
    s.toLower(icu::Locale::getRoot());
    // Lower-casing can leave text that is not composed; the key is compared byte for byte.
    return toUTF8(composed(s));
}

std::string asciiLowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string_view utf8Prefix(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) {
        return utf8;
    }
    std::size_t end = maxBytes;
    // Back over the continuation bytes (10xxxxxx) of the character the cut would split.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
        --end;
    }
    return utf8.substr(0, end);
}

bool cutToLength(std::string& utf8, std::size_t maxBytes) {
    const std::size_t kept = utf8Prefix(utf8, maxBytes).size();
    if (kept == utf8.size()) {
        return false;
    }
    utf8.resize(kept);
    return true;
}

std::optional<int> decimalValue(std::string_view text, std::size_t at, std::size_t count) {
    if (at > text.size() || count > text.size() - at) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace vorn::text
