#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorn::tally::system {

struct HttpRequest {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Off: a redirect is the answer, reported with its status.
    bool followRedirects = true;
};

struct HttpResponse {
    long status = 0;
    std::string body;
};

// Called once with either an answer or the description of what failed.
using HttpCompletion =
    std::function<void(std::optional<HttpResponse> response, std::optional<std::string> error)>;

// Sends requests without blocking the caller.
class HttpSession {
public:
    virtual ~HttpSession() = default;

    // Sends the request as a POST and returns at once. The completion runs on the session's own
    // thread.
    virtual void post(HttpRequest request, HttpCompletion completion) = 0;

    // The process's shared session, never destroyed.
    static std::shared_ptr<HttpSession> shared();
};

// Sends through libcurl on one worker thread of its own, several transfers at a time: http and
// https only, certificates verified, redirects followed with the method and body kept, and a
// transfer given up after 60 seconds without progress. Loopback addresses never go through a
// proxy.
class CurlHttpSession final : public HttpSession {
public:
    static constexpr long idleTimeoutSeconds = 60;
    static constexpr long maximumRedirects = 16;
    // Answers beyond this size are cut; nothing here reads large answers.
    static constexpr std::size_t longestAnswer = 1 << 20;

    CurlHttpSession();
    // Gives up transfers still running (their completions report a cancellation) and joins the
    // worker.
    ~CurlHttpSession() override;

    CurlHttpSession(const CurlHttpSession&) = delete;
    CurlHttpSession& operator=(const CurlHttpSession&) = delete;

    void post(HttpRequest request, HttpCompletion completion) override;

private:
    struct Worker;
    std::shared_ptr<Worker> m_worker;
};

// Whether the text parses as an absolute address of a scheme libcurl knows.
bool isValidURL(const std::string& text);

}  // namespace vorn::tally::system
