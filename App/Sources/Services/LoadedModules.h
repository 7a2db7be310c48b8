#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

// One executable or shared library mapped into the process.
struct LoadedModule {
    std::string path;
    // Where its lowest segment is mapped, and how far its segments reach from there.
    std::uint64_t address = 0;
    std::uint64_t size = 0;
    // The GNU build id in lowercase hexadecimal; empty when the module has none.
    std::string buildId;

    friend bool operator==(const LoadedModule&, const LoadedModule&) = default;
};

// The modules mapped now, the executable first. Not async-signal-safe: the loader's lock is
// taken.
std::vector<LoadedModule> loadedModules();

}  // namespace vorn
