#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CrashRecord.h"
#include "CrashReporter.h"
#include "FileIO.h"
#include "JSON.h"
#include "LoopbackHttpServer.h"
#include "TempDir.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace vorn {
namespace {

using test::LoopbackHttpServer;

struct ChildExit {
    bool exited = false;
    int code = -1;
    int signal = 0;
};

// Runs the crash child to its end. The sanitizers are told to leave the fatal signals to the
// program's own handlers.
ChildExit runChild(const std::vector<std::string>& arguments) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        if (!text.starts_with("ASAN_OPTIONS=") && !text.starts_with("TSAN_OPTIONS=")
            && !text.starts_with("UBSAN_OPTIONS=")) {
            environment.emplace_back(text);
        }
    }
    const std::string leaveSignals =
        "handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:handle_abort=0:"
        "allow_user_segv_handler=1:detect_leaks=0";
    environment.push_back("ASAN_OPTIONS=" + leaveSignals);
    environment.push_back("TSAN_OPTIONS=" + leaveSignals);
    environment.push_back("UBSAN_OPTIONS=" + leaveSignals);

    std::vector<std::string> argvText = {VORN_CRASH_CHILD};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argvText) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    pid_t pid = 0;
    if (::posix_spawn(&pid, VORN_CRASH_CHILD, nullptr, nullptr, argv.data(), envp.data()) != 0) {
        ADD_FAILURE() << "could not start " << VORN_CRASH_CHILD;
        return {};
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildExit result;
    result.exited = WIFEXITED(status);
    result.code = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

class CrashReporterTests : public ::testing::Test {
protected:
    std::filesystem::path reports() const { return CrashReporter::reportsDirectory(data.path()); }

    void crash(const std::string& how) {
        const auto result = runChild({data.path().string(), "crash", how});
        EXPECT_NE(result.signal, 0) << how << " exited with " << result.code;
    }

    test::TempDir data;
};

TEST_F(CrashReporterTests, EachCrashLeavesOneRecord) {
    struct Case {
        std::string how;
        int signal;
        std::string kind;
        std::string type;
    };
    for (const Case& c :
         {Case{"null", SIGSEGV, "signal", "SIGSEGV"}, Case{"abort", SIGABRT, "signal", "SIGABRT"},
          Case{"exception", SIGABRT, "exception", "std::runtime_error"}}) {
        removeCrashRecords(reports());
        const auto result = runChild({data.path().string(), "crash", c.how});
        EXPECT_EQ(result.signal, c.signal) << c.how;

        const auto records = pendingCrashRecords(reports());
        ASSERT_EQ(records.size(), 1u) << c.how;
        const auto record = CrashRecord::parse(fileio::readFile(records[0]).value_or(""));
        ASSERT_TRUE(record) << c.how;
        EXPECT_EQ(record->kind, c.kind) << c.how;
        EXPECT_EQ(record->type, c.type) << c.how;
        EXPECT_EQ(record->signal, c.kind == "signal" ? c.signal : 0) << c.how;
        EXPECT_EQ(record->release, "org.vorn.Vorn@9.9.9+9");
        EXPECT_EQ(record->environment, "production");
        EXPECT_FALSE(record->frames.empty()) << c.how;
        EXPECT_GT(record->timestamp, 1.7e9) << c.how;
        // Nothing half-written is left beside it.
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(reports())) {
            ++entries;
        }
        EXPECT_EQ(entries, 1u) << c.how;
    }
}

TEST_F(CrashReporterTests, TheNextStartWithConsentSendsTheRecordOnce) {
    crash("abort");
    ASSERT_EQ(pendingCrashRecords(reports()).size(), 1u);
    LoopbackHttpServer server;
    const std::string dsn = "http://0123456789abcdef0123456789abcdef@127.0.0.1:"
                            + std::to_string(server.port()) + "/42";

    const auto result = runChild({data.path().string(), "start", "1", dsn});
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.code, 0);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/api/42/envelope/");
    EXPECT_EQ(requests[0].headers.at("content-type"), "application/x-sentry-envelope");
    EXPECT_NE(
        requests[0].headers.at("x-sentry-auth").find("sentry_key=0123456789abcdef0123456789abcdef"),
        std::string::npos);
    const std::string& body = requests[0].body;
    const auto itemHeader = json::parse(body.substr(
        body.find('\n') + 1, body.find('\n', body.find('\n') + 1) - body.find('\n') - 1));
    ASSERT_TRUE(itemHeader);
    EXPECT_EQ(itemHeader->at("type"), "event");
    EXPECT_NE(body.find("\"SIGABRT\""), std::string::npos);
    EXPECT_TRUE(pendingCrashRecords(reports()).empty());

    // A later start has nothing left to send.
    EXPECT_EQ(runChild({data.path().string(), "start", "1", dsn}).code, 0);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(CrashReporterTests, WithoutConsentNothingIsSentOrKept) {
    crash("null");
    ASSERT_EQ(pendingCrashRecords(reports()).size(), 1u);
    LoopbackHttpServer server;
    const std::string dsn = "http://key@127.0.0.1:" + std::to_string(server.port()) + "/42";

    const auto result = runChild({data.path().string(), "start", "0", dsn});
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(pendingCrashRecords(reports()).empty());
}

TEST_F(CrashReporterTests, HangTrackingPausesNestAndResumeNeverGoesBelowZero) {
    EXPECT_FALSE(CrashReporter::isAppHangTrackingPaused());
    CrashReporter::resumeAppHangTracking();
    CrashReporter::pauseAppHangTracking();
    EXPECT_TRUE(CrashReporter::isAppHangTrackingPaused());
    CrashReporter::pauseAppHangTracking();
    CrashReporter::resumeAppHangTracking();
    EXPECT_TRUE(CrashReporter::isAppHangTrackingPaused());
    CrashReporter::resumeAppHangTracking();
    EXPECT_FALSE(CrashReporter::isAppHangTrackingPaused());
}

}  // namespace
}  // namespace vorn
