// Feeds arbitrary bytes to the crash-record reader that runs at every start.
#include "CrashRecord.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    const auto record = vorn::CrashRecord::parse(vorn::fuzz::bytesOf(data, size));
    check(!record || record->kind == "signal" || record->kind == "exception");
    return 0;
}
