#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Date.h"

namespace vorn::host {

// Which redirects a request follows. Data must never reach a host it was not addressed to, nor
// leave an encrypted connection; a redirect that is not followed fails the request.
enum class RedirectPolicy {
    // Only to the same scheme, host and port.
    sameOrigin,
    // None at all.
    none,
    // None, and the redirect is the answer, reported with its status: for a peer that must be
    // told exactly what the server said.
    answer,
};

struct HttpRequest {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    RedirectPolicy redirects = RedirectPolicy::sameOrigin;
};

struct HttpResponse {
    long status = 0;
    std::string body;
    // The final answer's header fields, names lowercased, in the order received.
    std::vector<std::pair<std::string, std::string>> headers;

    // The first field of that name (given in lowercase), if any.
    std::optional<std::string> header(std::string_view name) const;
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
// https only, certificates verified, redirects followed as the request's policy allows (with the
// method and body kept), and a transfer given up after 60 seconds without progress. A redirect
// the policy refuses completes with an error. Loopback addresses never go through a proxy.
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

// Whether both addresses parse and name the same scheme, host and port (a missing port counts
// as the scheme's default).
bool isSameOrigin(const std::string& from, const std::string& to);

// Why a redirect (an answer of that status) of a request to `origin`, after `followed` earlier
// redirects, may not be followed to `location`: it leaves the origin, which also refuses every
// step from https down to http, or it is one too many. None when it may be followed.
std::optional<std::string> sameOriginRedirectRefusal(const std::string& origin,
                                                     const std::string& location,
                                                     long status,
                                                     long followed);

// The wait a "Retry-After" field asks for, in seconds from now: a number of seconds, or an HTTP
// date. None when the field is missing or unreadable; a date in the past gives 0.
std::optional<double> retryAfterSeconds(const HttpResponse& response, Date now);

}  // namespace vorn::host
