#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vorn::test {

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string readText(const std::filesystem::path& path);
void writeText(const std::filesystem::path& path, std::string_view text);

}  // namespace vorn::test
