// Feeds arbitrary bytes to the analytics client's signal-cache reader. The records it accepts
// must write back and read again as the same records.
#include "FuzzSupport.h"
#include "Signals/SignalPostBody.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    const auto decoded = vorn::tally::JSONDecoder{}.decodeArray(vorn::fuzz::bytesOf(data, size));
    if (!decoded) {
        return 0;
    }
    const auto encoded = vorn::tally::JSONEncoder{}.encode(decoded->records);
    check(encoded.has_value());
    const auto again = vorn::tally::JSONDecoder{}.decodeArray(*encoded);
    check(again && again->rejected == 0 && again->records == decoded->records);
    return 0;
}
