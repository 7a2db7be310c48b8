#include "Text.h"

#include <algorithm>

#include "JSON.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace vorn::text {
namespace {

bool isASCII(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string nfc(std::string_view utf8) {
    if (isASCII(utf8)) {
        return std::string(utf8);
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    const std::string clean = json::sanitizeUTF8(utf8);
    if (U_FAILURE(status) || normalizer == nullptr) {
        return clean;
    }
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(clean);
    const icu::UnicodeString normal = normalizer->normalize(source, status);
    if (U_FAILURE(status)) {
        return clean;
    }
    std::string out;
    normal.toUTF8String(out);
    return out;
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

}  // namespace vorn::text
