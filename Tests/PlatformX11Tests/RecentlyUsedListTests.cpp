#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "PollRunLoop.h"
#include "RecentlyUsedList.h"
#include "TempDir.h"

namespace vorn::platform::x11 {
namespace {

using test::writeText;

class X11RecentlyUsedListTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(file.parent_path()); }

    // Replaces the file the way GLib saves it: a new file renamed over the old one.
    void save(const std::string& text) {
        writeText(dir / "recently-used.xbel.new", text);
        std::filesystem::rename(dir / "recently-used.xbel.new", file);
    }

    static std::string listOf(int files) {
        std::string text = "<xbel version=\"1.0\">";
        for (int i = 0; i < files; ++i) {
            text += "<bookmark href=\"file:///tmp/" + std::to_string(i) + ".txt\"/>";
        }
        return text + "</xbel>";
    }

    // Runs the loop until the condition holds or a few seconds pass.
    bool runUntil(const std::function<bool()>& condition) {
        const auto deadline = runLoop.now() + std::chrono::seconds(5);
        while (!condition()) {
            if (runLoop.now() >= deadline) {
                return false;
            }
            runLoop.runUntil(std::min(deadline, runLoop.now() + std::chrono::milliseconds(20)));
        }
        return true;
    }

    std::size_t problems(const std::string& reason) const {
        return logs.count("windowmanager", "x11: recently used list ignored reason=" + reason);
    }

    test::TempDir dir;
    std::filesystem::path file = dir / "data" / "recently-used.xbel";
    PollRunLoop runLoop;
    test::CapturingLogSink logs;
    RecentlyUsedList list{runLoop, file};
};

TEST_F(X11RecentlyUsedListTest, FollowsTheFileAndIgnoresWhatItCannotUse) {
    save(listOf(2));
    list.use();
    EXPECT_TRUE(list.files().empty()) << "the first read waits for the run loop";
    ASSERT_TRUE(runUntil([&] { return list.files().size() == 2; }));
    const std::uint64_t first = list.generation();

    // Read a piece per turn of the loop, in several turns.
    save(listOf(20000));
    ASSERT_GT(std::filesystem::file_size(file), 2 * RecentlyUsedList::readPiece);
    ASSERT_TRUE(runUntil([&] { return list.files().size() == 20000; }));
    EXPECT_GT(list.generation(), first);

    save("<xbel><bookmark href=\"file:///tmp/a.txt\"></xbel>");
    ASSERT_TRUE(runUntil([&] { return list.files().empty(); }));
    EXPECT_EQ(problems("malformed"), 1u);

    save(listOf(1));
    ASSERT_TRUE(runUntil([&] { return list.files().size() == 1; }));
    save(std::string(RecentlyUsedList::maxFileSize + 1, ' '));
    ASSERT_TRUE(runUntil([&] { return list.files().empty(); }));
    EXPECT_EQ(problems("larger than 10 MB"), 1u);

    save(listOf(3));
    ASSERT_TRUE(runUntil([&] { return list.files().size() == 3; }));
    std::filesystem::remove(file);
    ASSERT_TRUE(runUntil([&] { return list.files().empty(); }));
    EXPECT_EQ(logs.count("windowmanager", "x11: recently used list ignored"), 2u)
        << "a missing file is no problem";

    // A directory that goes and comes back is watched again.
    std::filesystem::remove_all(file.parent_path());
    runLoop.runUntil(runLoop.now());
    std::filesystem::create_directories(file.parent_path());
    save(listOf(4));
    EXPECT_TRUE(runUntil([&] {
        list.use();
        return list.files().size() == 4;
    }));
}

}  // namespace
}  // namespace vorn::platform::x11
