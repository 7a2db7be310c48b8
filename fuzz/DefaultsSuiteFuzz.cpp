// Feeds arbitrary bytes to the analytics client's settings-file reader. What it accepts must
// write back and read again as the same values.
#include "FuzzSupport.h"
#include "System/DefaultsSuite.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    const auto values = vorn::tally::system::DefaultsSuite::decode(vorn::fuzz::bytesOf(data, size));
    if (!values) {
        return 0;
    }
    const auto written = vorn::json::writePretty(*values);
    check(written.has_value());
    const auto again = vorn::tally::system::DefaultsSuite::decode(*written);
    check(again && vorn::json::writePretty(*again) == written);
    return 0;
}
