#pragma once

#include <filesystem>
#include <functional>

namespace vorn::app {

// Where the program keeps its files.
class AppEnvironment {
public:
    AppEnvironment() = delete;

    // Reads one variable of the environment; null when it is not set.
    using Lookup = std::function<const char*(const char* name)>;

    // VORN_DATA_DIR when it is set and not empty, as given; else "Vorn" in the user's data
    // folder ($XDG_DATA_HOME when it is an absolute path, else ~/.local/share). Not created here.
    static std::filesystem::path dataDirectory(const Lookup& environment);
    static std::filesystem::path dataDirectory();
};

}  // namespace vorn::app
