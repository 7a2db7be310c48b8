#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CrashEnvelope.h"
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

// The module whose mapping holds the address.
const LoadedModule* moduleOf(const CrashRecord& record, std::uint64_t address) {
    for (const auto& module : record.modules) {
        if (address >= module.address && address < module.address + module.size) {
            return &module;
        }
    }
    return nullptr;
}

// The function addr2line names at the address of the module's file, as a developer with the
// binary would run it.
std::string functionAt(const LoadedModule& module, std::uint64_t fileAddress) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(fileAddress));
    const std::string command = "addr2line -f -e '" + module.path + "' " + hex;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return read ? std::string(line) : std::string();
}

// The innermost frame's address in the envelope the record becomes, checked against the record.
std::uint64_t envelopeCrashFrame(const CrashRecord& record, const std::string& program) {
    const std::string envelope = crashEnvelope(record, *Dsn::parse("http://key@127.0.0.1/1"),
                                               Uuid::random(), Date::fromUnix(record.timestamp));
    const auto event = json::parse(envelope.substr(envelope.find('\n', envelope.find('\n') + 1)));
    if (!event) {
        ADD_FAILURE() << "unreadable envelope";
        return 0;
    }
    bool listed = false;
    for (const auto& image : event->at("debug_meta").at("images")) {
        listed = listed
                 || (image.at("code_file") == program
                     && !image.at("code_id").get<std::string>().empty());
    }
    EXPECT_TRUE(listed) << "no debug image with a build id for " << program;
    const auto& frames = event->at("exception").at("values").at(0).at("stacktrace").at("frames");
    return std::stoull(frames.back().at("instruction_addr").get<std::string>(), nullptr, 16);
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
        // The executable comes first among the modules, and it and the C library have build
        // ids.
        ASSERT_FALSE(record->modules.empty()) << c.how;
        EXPECT_EQ(record->modules[0].path, std::filesystem::canonical(VORN_CRASH_CHILD).string());
        EXPECT_FALSE(record->modules[0].buildId.empty());
        bool libc = false;
        for (const auto& module : record->modules) {
            libc =
                libc
                || (module.path.find("/libc.so") != std::string::npos && !module.buildId.empty());
        }
        EXPECT_TRUE(libc) << c.how;
        // Nothing half-written is left beside it.
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(reports())) {
            ++entries;
        }
        EXPECT_EQ(entries, 1u) << c.how;
    }
}

TEST_F(CrashReporterTests, TheStackStartsWhereTheCrashHappenedAndCanBeSymbolised) {
    struct Case {
        std::string how;
        // The function that addr2line must name for the innermost frame of the executable.
        std::string function;
        // Whether that frame is the crash itself rather than a return address below a library.
        bool crashingFrame;
    };
    for (const Case& c : {Case{"null", "dereferenceNull", true}, Case{"abort", "crash", false}}) {
        removeCrashRecords(reports());
        crash(c.how);
        const auto records = pendingCrashRecords(reports());
        ASSERT_EQ(records.size(), 1u) << c.how;
        const auto record = CrashRecord::parse(fileio::readFile(records[0]).value_or(""));
        ASSERT_TRUE(record && !record->frames.empty()) << c.how;
        EXPECT_EQ(envelopeCrashFrame(*record, "VornCrashChild"), record->frames[0]) << c.how;

        // No frame of the handler: the first lies in the executable for the null dereference,
        // in the C library (raising the signal) for the abort.
        const LoadedModule* first = moduleOf(*record, record->frames[0]);
        ASSERT_NE(first, nullptr) << c.how;
        EXPECT_EQ(first->path.find("/libc.so") != std::string::npos, !c.crashingFrame) << c.how;

        std::size_t index = 0;
        while (index < record->frames.size()
               && moduleOf(*record, record->frames[index]) != &record->modules[0]) {
            ++index;
        }
        ASSERT_LT(index, record->frames.size()) << c.how;
        EXPECT_EQ(index == 0, c.crashingFrame) << c.how;
        const LoadedModule& program = record->modules[0];
        // A return address points after the call; the call itself is one byte earlier.
        const std::uint64_t address = record->frames[index] - program.address - (index > 0 ? 1 : 0);
        EXPECT_NE(functionAt(program, address).find(c.function), std::string::npos)
            << c.how << ": " << functionAt(program, address);
    }
}

TEST_F(CrashReporterTests, AfterWithdrawalACrashLeavesNoRecord) {
    const auto result = runChild({data.path().string(), "crash-withdrawn", "null"});
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_TRUE(pendingCrashRecords(reports()).empty());
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
