// The program in a process of its own on a private Xvfb, with its analytics service on loopback:
// what it queued must survive the X server going away under it.

#include <csignal>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "JSON.h"
#include "LoopbackHttpServer.h"
#include "TempDir.h"
#include "XvfbSession.h"

#include <sys/wait.h>

namespace vorn {
namespace {

using test::LoopbackHttpServer;

class UsageDataOnXvfbTests : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeText(data / "consent.json",
                        R"({"disclosureShownVersion":"test","telemetryEnabled":true})");
    }

    std::optional<pid_t> startProgram(test::XvfbSession& session, const std::string& baseURL) {
        return session.spawn({VORN_USAGE_DATA_CHILD, data.path().string(), baseURL},
                             {{"XDG_CACHE_HOME", (home / "cache").string()},
                              {"XDG_CONFIG_HOME", (home / "config").string()}});
    }

    // The records of the program's signal cache.
    std::vector<json::Value> cachedRecords() const {
        const auto text =
            fileio::readFile(home / "cache" / "VornUsageDataChild" / "tallysignalcache");
        const auto parsed = json::parse(text.value_or(""));
        std::vector<json::Value> records;
        if (parsed && parsed->is_array()) {
            records.assign(parsed->begin(), parsed->end());
        }
        return records;
    }

    test::TempDir data;
    test::TempDir home;
};

TEST_F(UsageDataOnXvfbTests, ASignalQueuedBeforeTheXServerDiedIsSentByTheNextStart) {
    // A service that never answers: whatever the program sends stays in flight.
    LoopbackHttpServer silent;
    std::promise<void> release;
    auto released = release.get_future().share();
    silent.setResponder([released](const LoopbackHttpServer::Request&) {
        released.wait();
        return LoopbackHttpServer::Reply{};
    });
    std::string session;
    {
        test::XvfbSession desktop;
        ASSERT_TRUE(desktop.start({.windowManager = false})) << desktop.error();
        const auto program = startProgram(desktop, silent.url("/"));
        ASSERT_TRUE(program);
        ASSERT_TRUE(desktop.waitFor(
            [&] {
                for (const auto& record : cachedRecords()) {
                    if (record.value("type", "") == "App.launched") {
                        session = record.value("sessionID", "");
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(30)));
        // Logging out ends the X session under the program: no quit, no cache write.
        desktop.killServer();
        const auto status = desktop.waitUntilExited(*program, std::chrono::seconds(30));
        ASSERT_TRUE(status) << "the program outlived its X server";
        EXPECT_FALSE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }

    LoopbackHttpServer server;
    test::XvfbSession desktop;
    ASSERT_TRUE(desktop.start({.windowManager = false})) << desktop.error();
    const auto program = startProgram(desktop, server.url("/"));
    ASSERT_TRUE(program);
    // The first attempt after loading the cache, well before the first timer tick.
    ASSERT_TRUE(server.waitForRequests(1, std::chrono::seconds(30)));
    const auto batch = json::parse(server.requests()[0].body);
    ASSERT_TRUE(batch && batch->is_array());
    bool delivered = false;
    for (const auto& record : *batch) {
        delivered = delivered
                    || (record.value("type", "") == "App.launched"
                        && record.value("sessionID", "") == session);
    }
    EXPECT_TRUE(delivered) << server.requests()[0].body;
    desktop.stop(*program);
    release.set_value();
}

}  // namespace
}  // namespace vorn
