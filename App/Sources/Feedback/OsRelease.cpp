#include "OsRelease.h"

#include <sstream>

#include "FileIO.h"

namespace vorn::app {

std::string osReleaseValue(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string line;
    const std::string prefix = key + "=";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0) {
            continue;
        }
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
            && value.back() == value.front()) {
            const char quote = value.front();
            value = value.substr(1, value.size() - 2);
            if (quote == '"') {
                // Double quotes allow backslash escapes of ", \, $ and `.
                std::string unescaped;
                for (std::size_t i = 0; i < value.size(); ++i) {
                    if (value[i] == '\\' && i + 1 < value.size()) {
                        ++i;
                    }
                    unescaped += value[i];
                }
                value = unescaped;
            }
        }
        return value;
    }
    return {};
}

std::string osPrettyName(const std::vector<std::filesystem::path>& files) {
    for (const auto& file : files) {
        if (const auto text = fileio::readFile(file)) {
            if (std::string name = osReleaseValue(*text, "PRETTY_NAME"); !name.empty()) {
                return name;
            }
        }
    }
    return "Linux";
}

}  // namespace vorn::app
