// Puts arbitrary bytes where the state file (and, after a line "----", its backup) would be and
// runs the store's start: load, save what was loaded, load again. The second load must give
// the state saved, and the original state file must still be somewhere: in the state file, its
// backup or a file kept aside.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FileIO.h"
#include "FuzzSupport.h"
#include "Store.h"

#include <unistd.h>

namespace {

const std::filesystem::path& scratch() {
    static const std::filesystem::path directory = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/vorn-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return directory;
}

void clear(const std::filesystem::path& directory) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vorn::fuzz::check;
    vorn::fuzz::silenceLog();
    const std::string_view input = vorn::fuzz::bytesOf(data, size);
    const std::string_view separator = "\n----\n";
    const auto split = input.find(separator);
    const std::string main(input.substr(0, split));

    const std::filesystem::path& directory = scratch();
    clear(directory);
    vorn::JSONFileStore store(directory / "state.json");
    check(vorn::fileio::writeAtomically(store.url(), main).ok);
    if (split != std::string_view::npos) {
        const std::string backup(input.substr(split + separator.size()));
        check(vorn::fileio::writeAtomically(store.backupURL(), backup).ok);
    }

    const vorn::AppState loaded = store.load();
    check(store.save(loaded));
    const vorn::AppState reloaded = vorn::JSONFileStore(store.url()).load();
    check(vorn::encodeStateFile(reloaded) == vorn::encodeStateFile(loaded));

    bool kept = vorn::fileio::readFile(store.url()) == main
                || vorn::fileio::readFile(store.backupURL()) == main;
    for (const auto& aside : store.asideFiles()) {
        kept = kept || vorn::fileio::readFile(aside) == main;
    }
    check(kept);
    return 0;
}
