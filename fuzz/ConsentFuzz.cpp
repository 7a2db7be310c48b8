// Feeds arbitrary bytes to the consent file's reader as the store reads them. Whatever decodes
// must encode, and the encoding must decode to the same record.
#include "ConsentStore.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    vorn::json::ParseOptions options;
    options.rejectDuplicateKeys = true;
    const auto value = vorn::json::parse(vorn::fuzz::bytesOf(data, size), options);
    const auto record = value ? vorn::decodeConsentState(*value) : std::nullopt;
    if (!record) {
        return 0;
    }
    const auto encoded = vorn::json::writePretty(vorn::encodeConsentState(*record));
    check(encoded.has_value());
    const auto again = vorn::json::parse(*encoded, options);
    check(again.has_value());
    const auto decoded = vorn::decodeConsentState(*again);
    check(decoded && *decoded == *record);
    return 0;
}
