#include <gtest/gtest.h>

#include "FileURL.h"

namespace vorn {
namespace {

TEST(FileURLTest, LocalFileURLsGiveTheirDecodedPath) {
    struct Case {
        const char* url;
        std::optional<std::string> path;
    };
    const std::vector<Case> cases = {
        {"file:///Users/a/notes.txt", "/Users/a/notes.txt"},
        {"file://localhost/Users/a/notes.txt", "/Users/a/notes.txt"},
        {"file:/Users/a/notes.txt", "/Users/a/notes.txt"},
        {"FILE:///tmp/x", "/tmp/x"},
        {"file:///tmp/my%20report%C3%A9.txt", "/tmp/my report\xC3\xA9.txt"},
        {"file:///tmp/a.txt?version=2#top", "/tmp/a.txt"},
        {"file:///", "/"},
        {"file://server/share/a.txt", std::nullopt},
        {"file://", std::nullopt},
        {"file:notes.txt", std::nullopt},
        {"file:", std::nullopt},
        {"file:///tmp/with space.txt", std::nullopt},
        {"file:///tmp/%zz", std::nullopt},
        {"file:///tmp/%4", std::nullopt},
        {"file:///tmp/a%00b", std::nullopt},
        {"https://example.org/a.txt", std::nullopt},
        {"/tmp/a.txt", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(FileURL::path(c.url), c.path);
    }
}

TEST(FileURLTest, PathsBecomeURLsThatReadBackTheSame) {
    EXPECT_EQ(FileURL::fromPath("/Users/a/notes.txt"), "file:///Users/a/notes.txt");
    EXPECT_EQ(FileURL::fromPath("/tmp/my report#1?.txt"), "file:///tmp/my%20report%231%3F.txt");
    for (const char* path : {"/tmp/a b/c%d.txt", "/tmp/\xC3\xA9t\xC3\xA9;x=1", "/tmp/file:x",
                             "/tmp/[1]{2}<3>\"4\"\\5|6^7`8"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(FileURL::path(FileURL::fromPath(path)), path);
    }
}

}  // namespace
}  // namespace vorn
