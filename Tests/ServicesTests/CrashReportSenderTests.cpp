#include <algorithm>
#include <atomic>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "CrashRecord.h"
#include "CrashReportSender.h"
#include "LoopbackHttpServer.h"
#include "TempDir.h"

namespace vorn {
namespace {

using test::LoopbackHttpServer;

// 2026-05-09 06:13:20 UTC.
const Date now = Date(800000000.0);
constexpr double day = 86400;

class CrashReportSenderTests : public ::testing::Test {
protected:
    void writeRecord(const std::string& name,
                     double ageInSeconds,
                     const std::string& type = "SIGSEGV") {
        test::writeText(directory / name,
                        "{\"version\":1,\"kind\":\"signal\",\"type\":\"" + type
                            + "\",\"signal\":11,\"timestamp\":"
                            + std::to_string(static_cast<long long>(now.unixSeconds() - ageInSeconds))
                            + ",\"release\":\"org.vorn.Vorn@1.0.0+1\",\"environment\":\"production\","
                              "\"frames\":[\"0x10\",\"0x20\"]}\n");
    }

    // Sends what waits and returns the names still waiting afterwards.
    std::vector<std::string> sendAndList(const std::string& dsnText) {
        return sendAndList(dsnText, session);
    }
    std::vector<std::string> sendAndList(const std::string& dsnText,
                                         std::shared_ptr<host::HttpSession> through) {
        auto sender = std::make_shared<CrashReportSender>(directory.path(), *Dsn::parse(dsnText),
                                                          std::move(through), [] { return now; });
        sender->sendPending();
        EXPECT_TRUE(sender->waitUntilDone(std::chrono::seconds(20)));
        std::vector<std::string> names;
        for (const auto& file : pendingCrashRecords(directory.path())) {
            names.push_back(file.filename().string());
        }
        return names;
    }

    std::string dsnFor(const LoopbackHttpServer& server) const {
        return "http://key@127.0.0.1:" + std::to_string(server.port()) + "/7";
    }

    test::TempDir directory;
    std::shared_ptr<host::CurlHttpSession> session = std::make_shared<host::CurlHttpSession>();
    test::CapturingLogSink log;
};

TEST_F(CrashReportSenderTests, AnswersDecideWhetherARecordIsKept) {
    struct Case {
        int status;
        bool kept;
    };
    for (const Case& c : {Case{200, false}, Case{202, false}, Case{429, true}, Case{500, true},
                          Case{503, true}, Case{400, false}, Case{413, false}}) {
        LoopbackHttpServer server;
        server.replyWith(c.status);
        writeRecord("100-1.json", day);
        const auto left = sendAndList(dsnFor(server));
        EXPECT_EQ(server.requests().size(), 1u) << c.status;
        EXPECT_EQ(left.size(), c.kept ? 1u : 0u) << c.status;
        removeCrashRecords(directory.path());
    }
}

TEST_F(CrashReportSenderTests, AnUnreachableServiceKeepsTheRecord) {
    writeRecord("100-1.json", day);
    const auto left = sendAndList(
        "http://key@127.0.0.1:" + std::to_string(LoopbackHttpServer::refusingPort()) + "/7");
    EXPECT_EQ(left, std::vector<std::string>{"100-1.json"});
    EXPECT_EQ(log.count("observability", "crash report not sent, kept file=100-1.json"), 1u);
}

TEST_F(CrashReportSenderTests, OldAndUnreadableRecordsAreDeletedUnsent) {
    LoopbackHttpServer server;
    writeRecord("100-1.json", 31 * day);
    writeRecord("200-1.json", 29 * day, "SIGBUS");
    test::writeText(directory / "300-1.json", "{\"kind\":");
    test::writeText(directory / ".400-1.tmp", "{");
    const auto left = sendAndList(dsnFor(server));
    EXPECT_TRUE(left.empty());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].body.find("SIGBUS"), std::string::npos);
    EXPECT_EQ(
        log.count("observability", "crash report older than 30 days, deleted file=100-1.json"), 1u);
    EXPECT_EQ(log.count("observability", "crash report unreadable, deleted file=300-1.json"), 1u);
    // A write that a crash cut short is not a record.
    EXPECT_TRUE(std::filesystem::exists(directory / ".400-1.tmp"));
}

// Counts the requests under way at once.
class CountingSession final : public host::HttpSession {
public:
    explicit CountingSession(std::shared_ptr<host::HttpSession> inner)
        : m_inner(std::move(inner)) {}

    void post(host::HttpRequest request, host::HttpCompletion completion) override {
        m_mostAtOnce = std::max(m_mostAtOnce.load(), ++m_underWay);
        m_inner->post(std::move(request), [this, completion = std::move(completion)](
                                              std::optional<host::HttpResponse> response,
                                              std::optional<std::string> error) {
            --m_underWay;
            completion(std::move(response), std::move(error));
        });
    }

    int mostAtOnce() const { return m_mostAtOnce.load(); }

private:
    std::shared_ptr<host::HttpSession> m_inner;
    std::atomic<int> m_underWay{0};
    std::atomic<int> m_mostAtOnce{0};
};

TEST_F(CrashReportSenderTests, TheNewestTwentyGoOneAtATime) {
    LoopbackHttpServer server;
    for (int i = 1; i <= 50; ++i) {
        writeRecord(std::to_string(1000 + i) + "-1.json", 100.0 * (51 - i),
                    "SIG" + std::to_string(i));
    }
    auto counting = std::make_shared<CountingSession>(session);
    EXPECT_TRUE(sendAndList(dsnFor(server), counting).empty());
    EXPECT_EQ(counting->mostAtOnce(), 1);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 20u);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_NE(requests[i].body.find("\"SIG" + std::to_string(50 - i) + "\""), std::string::npos)
            << i;
    }
    EXPECT_EQ(log.count("observability", "crash reports beyond the newest 20 deleted count=30"),
              1u);
}

TEST_F(CrashReportSenderTests, RecordsBeyondTheNewestTwentyAreDroppedByNameUnread) {
    LoopbackHttpServer server;
    server.replyWith(503);
    // The five oldest by name would not parse, and the newest is too old to send.
    for (int i = 1; i <= 5; ++i) {
        test::writeText(directory / (std::to_string(1000 + i) + "-1.json"), "{\"kind\":");
    }
    for (int i = 6; i <= 24; ++i) {
        writeRecord(std::to_string(1000 + i) + "-1.json", day);
    }
    writeRecord("1025-1.json", 31 * day);
    const auto left = sendAndList(dsnFor(server));
    EXPECT_EQ(log.count("observability", "crash report unreadable"), 0u);
    EXPECT_EQ(log.count("observability", "crash reports beyond the newest 20 deleted count=5"), 1u);
    EXPECT_EQ(
        log.count("observability", "crash report older than 30 days, deleted file=1025-1.json"),
        1u);
    // The next one is tried and kept; the rest are left untried.
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(left.size(), 19u);
    EXPECT_EQ(left.front(), "1006-1.json");
    EXPECT_EQ(left.back(), "1024-1.json");
}

TEST_F(CrashReportSenderTests, ABusyServiceEndsTheRoundAndARedirectIsNotFollowed) {
    LoopbackHttpServer elsewhere;
    for (const auto& reply :
         {LoopbackHttpServer::Reply{429, {}, {}}, LoopbackHttpServer::Reply{503, {}, {}},
          LoopbackHttpServer::Reply{307, {}, {{"Location", elsewhere.url("/api/7/envelope/")}}},
          LoopbackHttpServer::Reply{307, {}, {{"Location", "/api/7/other/"}}}}) {
        LoopbackHttpServer server;
        server.setResponder([reply](const LoopbackHttpServer::Request&) { return reply; });
        for (int i = 1; i <= 3; ++i) {
            writeRecord(std::to_string(i) + "00-1.json", i * day);
        }
        // The newest is tried, kept, and the other two wait for the next start untried.
        EXPECT_EQ(sendAndList(dsnFor(server)).size(), 3u) << reply.status;
        ASSERT_EQ(server.requests().size(), 1u) << reply.status;
        EXPECT_EQ(server.requests()[0].path, "/api/7/envelope/");
        removeCrashRecords(directory.path());
    }
    EXPECT_TRUE(elsewhere.requests().empty());
}

TEST_F(CrashReportSenderTests, EachRecordGoesInItsOwnRequest) {
    LoopbackHttpServer server;
    for (int i = 1; i <= 3; ++i) {
        writeRecord(std::to_string(i) + "00-1.json", i * day);
    }
    EXPECT_TRUE(sendAndList(dsnFor(server)).empty());
    EXPECT_EQ(server.requests().size(), 3u);
}

}  // namespace
}  // namespace vorn
