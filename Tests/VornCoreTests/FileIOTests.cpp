#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "FileIO.h"
#include "InstanceLock.h"
#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn {
namespace {

using test::readText;
using test::writeText;

TEST(FileIOTests, ReadingNeverHangsAndTakesOnlyRegularFiles) {
    test::TempDir dir;
    const auto fifo = dir / "state.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return fileio::readRegularFile(fifo); });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Release the blocked reader so that the test can end.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        FAIL() << "opening a FIFO without a writer blocked";
    }
    const auto fromFifo = reading.get();
    EXPECT_FALSE(fromFifo.bytes);
    EXPECT_EQ(fromFifo.error, EINVAL);
    EXPECT_TRUE(fromFifo.exists());

    for (const std::filesystem::path& other : {std::filesystem::path("/dev/null"), dir.path()}) {
        const auto result = fileio::readRegularFile(other);
        EXPECT_FALSE(result.bytes) << other;
        EXPECT_TRUE(result.exists()) << other;
    }
    const auto missing = fileio::readRegularFile(dir / "missing");
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_FALSE(missing.exists());
    writeText(dir / "plain", "text");
    EXPECT_EQ(fileio::readRegularFile(dir / "plain").bytes, "text");
}

TEST(FileIOTests, AFailedDirectorySyncAfterTheRenameIsAWriteDoneButNotDurable) {
    test::TempDir dir;
    const auto file = dir / "f";
    const auto result = fileio::writeAtomically(
        file, "new", [](fileio::WriteStep s) { return s == fileio::WriteStep::syncDirectory; });
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.durable);
    EXPECT_EQ(result.step, fileio::WriteStep::syncDirectory);
    EXPECT_EQ(result.code, EIO);
    EXPECT_EQ(readText(file), "new");

    const auto failed = fileio::writeAtomically(
        file, "newer", [](fileio::WriteStep s) { return s == fileio::WriteStep::write; });
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.step, fileio::WriteStep::write);
    EXPECT_EQ(failed.code, EIO);
}

TEST(FileIOTests, RenameWithoutReplacingKeepsWhatIsThere) {
    test::TempDir dir;
    writeText(dir / "a", "a");
    writeText(dir / "b", "b");
    const auto refused = fileio::renameWithoutReplacing(dir / "a", dir / "b");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.code, EEXIST);
    EXPECT_EQ(readText(dir / "b"), "b");
    EXPECT_TRUE(fileio::renameWithoutReplacing(dir / "a", dir / "c").ok);
    EXPECT_EQ(readText(dir / "c"), "a");
    EXPECT_FALSE(fileio::exists(dir / "a"));
}

TEST(InstanceLockTests, OneHolderPerDirectoryAcrossProcesses) {
    test::TempDir dir;
    const auto data = dir / "new" / "data";
    auto first = InstanceLock::acquire(data);
    ASSERT_EQ(first.outcome, InstanceLock::Outcome::acquired);
    EXPECT_TRUE(InstanceLock::heldFor(data));
    EXPECT_TRUE(InstanceLock::heldFor(data / "." / ".." / "data"));
    EXPECT_FALSE(InstanceLock::heldFor(dir.path()));

    EXPECT_EQ(InstanceLock::acquire(data).outcome, InstanceLock::Outcome::heldElsewhere);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(InstanceLock::acquire(data).outcome == InstanceLock::Outcome::heldElsewhere ? 0
                                                                                            : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.lock.reset();
    EXPECT_FALSE(InstanceLock::heldFor(data));
    EXPECT_EQ(InstanceLock::acquire(data).outcome, InstanceLock::Outcome::acquired);

    writeText(dir / "file", "not a directory");
    const auto failed = InstanceLock::acquire(dir / "file");
    EXPECT_EQ(failed.outcome, InstanceLock::Outcome::failed);
    EXPECT_FALSE(failed.error.empty());
}

TEST(InstanceLockTests, ADataDirectoryOpenToOthersIsMadePrivateOnce) {
    test::TempDir dir;
    const auto data = dir / "data";
    std::filesystem::create_directory(data);
    ::chmod(data.c_str(), 0755);
    test::CapturingLogSink log;
    for (int start = 0; start < 2; ++start) {
        (void)InstanceLock::acquire(data);
    }
    struct stat info {};
    ASSERT_EQ(::stat(data.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(log.messages("store"), std::vector<std::string>{"data directory made private mode "
                                                              "0755 -> 0700 path="
                                                              + data.string()});
}

}  // namespace
}  // namespace vorn
