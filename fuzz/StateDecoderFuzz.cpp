// Feeds arbitrary bytes to the state-file decoder. Whatever decodes must encode, and the
// encoding must decode back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "Log.h"
#include "Models.h"

namespace {

class SilentSink final : public vorn::LogSink {
public:
    void write(vorn::LogLevel, std::string_view, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool silenced = [] {
        vorn::setLogSink(std::make_shared<SilentSink>());
        return true;
    }();
    (void)silenced;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
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
