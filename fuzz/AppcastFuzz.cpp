// Feeds arbitrary bytes to the update-feed reader, which reads what a server sends.
#include "Appcast.h"
#include "FuzzSupport.h"
#include "Version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    const auto appcast = vorn::updates::parseAppcast(vorn::fuzz::bytesOf(data, size));
    // A document that is no feed offers nothing; an item offered is complete and comparable.
    check(!appcast.error || appcast.items.empty());
    for (const auto& item : appcast.items) {
        check(!item.url.empty() && !item.edSignature.empty() && !item.displayVersion.empty());
        check(vorn::updates::compareVersions(item.buildVersion, item.buildVersion).has_value());
    }
    return 0;
}
