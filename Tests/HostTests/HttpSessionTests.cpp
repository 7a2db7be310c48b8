#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "HttpSession.h"
#include "LoopbackHttpServer.h"

namespace vorn::host {
namespace {

using test::LoopbackHttpServer;

struct Outcome {
    std::optional<HttpResponse> response;
    std::optional<std::string> error;
    std::thread::id thread;
};

Outcome postAndWait(HttpSession& session, HttpRequest request) {
    std::promise<Outcome> promise;
    session.post(std::move(request), [&promise](std::optional<HttpResponse> response,
                                                std::optional<std::string> error) {
        promise.set_value({std::move(response), std::move(error), std::this_thread::get_id()});
    });
    auto future = promise.get_future();
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "no completion";
        return {};
    }
    return future.get();
}

TEST(HttpSessionTests, PostsTheBodyAndHeadersAndAnswersOnItsOwnThread) {
    LoopbackHttpServer server;
    server.setResponder([](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Reply{202, "accepted", {}};
    });
    CurlHttpSession session;
    const std::string body(5000, 'x');  // large enough that libcurl would otherwise wait for 100
    const auto outcome =
        postAndWait(session, {server.url("/v2/"), {{"Content-Type", "application/json"}}, body});

    ASSERT_TRUE(outcome.response) << outcome.error.value_or("");
    EXPECT_EQ(outcome.response->status, 202);
    EXPECT_EQ(outcome.response->body, "accepted");
    EXPECT_NE(outcome.thread, std::this_thread::get_id());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/v2/");
    EXPECT_EQ(requests[0].headers.at("content-type"), "application/json");
    EXPECT_FALSE(requests[0].headers.contains("expect"));
    EXPECT_EQ(requests[0].body, body);
}

TEST(HttpSessionTests, RedirectsKeepTheMethodAndTheBody) {
    for (int status : {301, 302, 303, 307, 308}) {
        LoopbackHttpServer server;
        server.setResponder([status](const LoopbackHttpServer::Request& request) {
            if (request.path == "/old") {
                return LoopbackHttpServer::Reply{status, {}, {{"Location", "/new"}}};
            }
            return LoopbackHttpServer::Reply{200, {}, {}};
        });
        CurlHttpSession session;
        const auto outcome = postAndWait(session, {server.url("/old"), {}, "[1,2]"});
        ASSERT_TRUE(outcome.response) << status;
        EXPECT_EQ(outcome.response->status, 200) << status;
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 2u) << status;
        EXPECT_EQ(requests[1].path, "/new") << status;
        EXPECT_EQ(requests[1].method, "POST") << status;
        EXPECT_EQ(requests[1].body, "[1,2]") << status;
    }
}

TEST(HttpSessionTests, FailuresArriveAsErrors) {
    CurlHttpSession session;
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::refusingPort()) + "/";
    for (const std::string& url : {refused, std::string("ftp://127.0.0.1/file"),
                                   std::string("file:///etc/hostname"), std::string("not a url")}) {
        const auto outcome = postAndWait(session, {url, {}, "{}"});
        EXPECT_FALSE(outcome.response) << url;
        EXPECT_TRUE(outcome.error && !outcome.error->empty()) << url;
    }
}

TEST(HttpSessionTests, RedirectsElsewhereAreRefusedAndReachNobody) {
    LoopbackHttpServer elsewhere;
    struct Case {
        std::string location;
        RedirectPolicy policy;
    };
    const Case cases[] = {
        {elsewhere.url("/v2/"), RedirectPolicy::sameOrigin},
        {"http://localhost:" + std::to_string(elsewhere.port()) + "/v2/",
         RedirectPolicy::sameOrigin},
        {"file:///etc/hostname", RedirectPolicy::sameOrigin},
        {"/same-server", RedirectPolicy::none},
    };
    CurlHttpSession session;
    for (const auto& c : cases) {
        LoopbackHttpServer server;
        server.setResponder([&c](const LoopbackHttpServer::Request&) {
            return LoopbackHttpServer::Reply{307, {}, {{"Location", c.location}}};
        });
        HttpRequest request{server.url("/"), {{"X-Secret", "key"}}, "{}"};
        request.redirects = c.policy;
        const auto outcome = postAndWait(session, request);
        EXPECT_FALSE(outcome.response) << c.location;
        EXPECT_TRUE(outcome.error && outcome.error->starts_with("Redirect refused (status 307)"))
            << c.location << ": " << outcome.error.value_or("");
        EXPECT_EQ(server.requests().size(), 1u) << c.location;
    }
    EXPECT_TRUE(elsewhere.requests().empty());
}

TEST(HttpSessionTests, OriginsCompareSchemeHostAndPort) {
    struct Case {
        const char* from;
        const char* to;
        bool same;
    };
    const Case cases[] = {
        {"https://a.example/v2/", "https://a.example/other?x=1", true},
        {"https://a.example/", "https://A.EXAMPLE:443/", true},
        {"http://a.example/", "http://a.example:80/", true},
        {"https://a.example/", "http://a.example/", false},
        {"http://a.example/", "https://a.example/", false},
        {"https://a.example/", "https://b.example/", false},
        {"http://127.0.0.1:8080/", "http://127.0.0.1:8081/", false},
        {"http://127.0.0.1:8080/", "not an address", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isSameOrigin(c.from, c.to), c.same) << c.from << " -> " << c.to;
    }
}

TEST(HttpSessionTests, RetryAfterTakesSecondsOrADate) {
    // Sat, 09 May 2026 06:13:20 GMT.
    const Date now = Date(800000000.0);
    struct Case {
        std::optional<std::string> value;
        std::optional<double> seconds;
    };
    const Case cases[] = {
        {"60", 60.0},
        {"0", 0.0},
        {"Sat, 09 May 2026 06:15:20 GMT", 120.0},
        {"Sat, 09 May 2026 06:00:00 GMT", 0.0},
        {"soon", std::nullopt},
        {"-5", std::nullopt},
        {"", std::nullopt},
        {std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        HttpResponse response{429, {}, {{"content-type", "text/plain"}}};
        if (c.value) {
            response.headers.emplace_back("retry-after", *c.value);
        }
        EXPECT_EQ(retryAfterSeconds(response, now), c.seconds) << c.value.value_or("(none)");
    }
}

TEST(HttpSessionTests, AnswersCarryTheirHeaderFields) {
    LoopbackHttpServer server;
    server.setResponder([](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Reply{429, {}, {{"Retry-After", "60"}}};
    });
    CurlHttpSession session;
    const auto outcome = postAndWait(session, {server.url("/"), {}, "{}"});
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->header("retry-after"), "60");
}

TEST(HttpSessionTests, DestroyingTheSessionCompletesTransfersStillWaiting) {
    LoopbackHttpServer server;
    std::promise<void> release;
    auto released = release.get_future().share();
    server.setResponder([released](const LoopbackHttpServer::Request&) {
        released.wait();
        return LoopbackHttpServer::Reply{};
    });
    std::promise<std::optional<std::string>> completed;
    {
        CurlHttpSession session;
        session.post({server.url("/"), {}, "{}"},
                     [&](std::optional<HttpResponse>, std::optional<std::string> error) {
                         completed.set_value(error);
                     });
        ASSERT_TRUE(server.waitForRequests(1));
    }
    release.set_value();
    const auto error = completed.get_future().get();
    EXPECT_EQ(error, "cancelled");
}

TEST(HttpSessionTests, AddressesThatParse) {
    EXPECT_TRUE(isValidURL("https://tally.invalid/v2/"));
    EXPECT_TRUE(isValidURL("http://127.0.0.1:8080/v2/namespace/team/"));
    EXPECT_FALSE(isValidURL("https://tally.invalid/v2/namespace/my team/"));
    EXPECT_FALSE(isValidURL("/v2/"));
    EXPECT_FALSE(isValidURL(""));
}

}  // namespace
}  // namespace vorn::host
