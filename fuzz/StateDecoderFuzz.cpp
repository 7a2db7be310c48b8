// Feeds arbitrary bytes to the state-file decoder. Whatever decodes must encode, and the
// encoding must decode back to the same bytes.
#include "FuzzSupport.h"
#include "Models.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::silenceLog();
    const std::string_view bytes = vorn::fuzz::bytesOf(data, size);
    const auto state = vorn::decodeStateFile(bytes);
    if (!state) {
        return 0;
    }
    const auto encoded = vorn::encodeStateFile(*state);
    if (!encoded) {
        std::abort();  // a decoded state always holds finite numbers
    }
    const auto again = vorn::decodeStateFile(*encoded);
    if (!again || vorn::encodeStateFile(*again) != encoded) {
        std::abort();
    }
    return 0;
}
