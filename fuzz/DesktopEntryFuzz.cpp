// Feeds arbitrary bytes to the desktop-entry parser, and the Exec line of whatever parses to the
// field-code expansion, with and without documents.
#include <string>
#include <vector>

#include "DesktopEntries.h"
#include "ExecLine.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    namespace x11 = vorn::platform::x11;
    const auto entry =
        vorn::platform::parseDesktopEntry(vorn::fuzz::bytesOf(data, size), {"de_DE", "de"});
    if (!entry) {
        return 0;
    }
    const std::vector<std::string> documents = {"/home/u/a b.txt", "/home/u/%f"};
    for (std::size_t count = 0; count <= documents.size(); ++count) {
        const auto argv = x11::expandExec(*entry, {documents.data(), count});
        check(!argv || !argv->empty());
    }
    (void)x11::takesManyDocuments(entry->exec);
    return 0;
}
