#include "HttpSession.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include <curl/curl.h>

#include "Crypto.h"
#include "CurlSetup.h"
#include "Text.h"

#include <pthread.h>

namespace vorn::host {
namespace {

// A proxy in the environment still applies to every other host.
std::string noProxyList() {
    const std::string loopback = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            if (std::string_view(value) == "*") {
                return "*";
            }
            return std::string(value) + "," + loopback;
        }
    }
    return loopback;
}

struct Transfer {
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    HttpRequest request;
    HttpCompletion completion;
    // The address the caller asked for; every redirect is measured against it.
    std::string origin;
    long redirects = 0;
    std::string answer;
    std::vector<std::pair<std::string, std::string>> answerHeaders;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Transfer() {
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
        curl_slist_free_all(headers);
    }
};

std::size_t collectAnswer(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    const std::size_t room = CurlHttpSession::longestAnswer - transfer->answer.size();
    transfer->answer.append(data, bytes < room ? bytes : room);
    return bytes;
}

// Header fields are framed by ASCII blanks and the line's CR LF only.
std::string trimmedHeaderSpace(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::size_t collectHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        // A new status line: the fields of an earlier, informational answer do not count.
        transfer->answerHeaders.clear();
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
        constexpr std::size_t mostFields = 100;
        if (transfer->answerHeaders.size() < mostFields) {
            transfer->answerHeaders.emplace_back(
                text::asciiLowercased(trimmedHeaderSpace(line.substr(0, colon))),
                trimmedHeaderSpace(line.substr(colon + 1)));
        }
    }
    return bytes;
}

// Sets up the easy handle; false when libcurl refuses an option.
bool configure(Transfer& transfer) {
    transfer.easy = curl_easy_init();
    if (transfer.easy == nullptr) {
        return false;
    }
    for (const auto& [name, value] : transfer.request.headers) {
        const std::string line = name + ": " + value;
        transfer.headers = curl_slist_append(transfer.headers, line.c_str());
    }
    // Without this, libcurl waits for a "100 Continue" before sending larger bodies.
    transfer.headers = curl_slist_append(transfer.headers, "Expect:");
    CURL* easy = transfer.easy;
    const auto& body = transfer.request.body;
    bool ok = true;
    const auto set = [&ok](CURLcode code) { ok = ok && code == CURLE_OK; };
    set(curl_easy_setopt(easy, CURLOPT_URL, transfer.request.url.c_str()));
    set(curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer));
    ok = ok && applyCommonOptions(easy);
    // Redirects are followed by hand (see Worker::redirectOf), so that each is checked first.
    set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L));
    set(curl_easy_setopt(easy, CURLOPT_POST, 1L));
    set(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())));
    set(curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data()));
    set(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers));
    set(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collectAnswer));
    set(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer));
    set(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, collectHeader));
    set(curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer));
    set(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer));
    return ok;
}

// The parts of an address that decide where its data goes; none when it does not parse.
std::optional<std::array<std::string, 3>> originOf(const std::string& text) {
    CURLU* url = curl_url();
    if (url == nullptr) {
        return std::nullopt;
    }
    std::optional<std::array<std::string, 3>> origin;
    if (curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK) {
        std::array<std::string, 3> parts;
        const CURLUPart names[] = {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT};
        bool complete = true;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            char* part = nullptr;
            if (curl_url_get(url, names[i], &part, CURLU_DEFAULT_PORT) != CURLUE_OK) {
                complete = false;
                break;
            }
            parts[i] = text::asciiLowercased(part);
            curl_free(part);
        }
        if (complete) {
            origin = std::move(parts);
        }
    }
    curl_url_cleanup(url);
    return origin;
}

std::string describe(CURLcode code, const char* detail) {
    std::string text = curl_easy_strerror(code);
    if (detail != nullptr && detail[0] != '\0') {
        text += ": ";
        text += detail;
    }
    return text;
}

}  // namespace

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        initialiseOpenSSL();
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

bool applyCommonOptions(CURL* easy) {
    // Read once: the environment does not change under a running program.
    static const std::string noProxy = noProxyList();
    bool ok = true;
    const auto set = [&ok](CURLcode code) { ok = ok && code == CURLE_OK; };
    set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L));
    set(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, CurlHttpSession::idleTimeoutSeconds));
    set(curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L));
    set(curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, CurlHttpSession::idleTimeoutSeconds));
    set(curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str()));
    return ok;
}

// Milliseconds between looks at running transfers when libcurl names no time of its own, and
// the longest sleep of an idle worker.
constexpr long activeWait = 1000;
constexpr long idleWait = 3600 * 1000;

struct CurlHttpSession::Worker {
    std::mutex mutex;
    std::deque<std::unique_ptr<Transfer>> incoming;
    bool stopping = false;
    bool started = false;
    bool prepared = false;
    CURLM* multi = nullptr;
    std::thread thread;

    // Readies libcurl for the first transfer, not before: a session that never sends anything
    // never loads it. Under the mutex.
    bool prepare() {
        if (!std::exchange(prepared, true)) {
            initialiseCurl();
            multi = curl_multi_init();
        }
        return multi != nullptr;
    }

    ~Worker() {
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
        }
    }

    static void finish(std::unique_ptr<Transfer> transfer, CURLcode code) {
        auto completion = std::move(transfer->completion);
        if (code != CURLE_OK) {
            const std::string error = describe(code, transfer->errorBuffer);
            transfer.reset();
            completion(std::nullopt, error);
            return;
        }
        HttpResponse response;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &response.status);
        response.body = std::move(transfer->answer);
        response.headers = std::move(transfer->answerHeaders);
        transfer.reset();
        completion(std::move(response), std::nullopt);
    }

    struct Redirect {
        // The next address, when the redirect is followed.
        std::optional<std::string> target;
        // Why it is refused; empty when it is followed or when the answer is no redirect.
        std::string refusal;
    };

    static Redirect redirectOf(const Transfer& transfer) {
        long status = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
        char* location = nullptr;
        curl_easy_getinfo(transfer.easy, CURLINFO_REDIRECT_URL, &location);
        // A 3xx without a usable Location is a plain answer.
        if (status < 300 || status > 399 || location == nullptr
            || transfer.request.redirects == RedirectPolicy::answer) {
            return {};
        }
        if (transfer.request.redirects == RedirectPolicy::none) {
            return {std::nullopt, "Redirect refused (status " + std::to_string(status)
                                      + "): this request follows none"};
        }
        if (auto refusal =
                sameOriginRedirectRefusal(transfer.origin, location, status, transfer.redirects)) {
            return {std::nullopt, std::move(*refusal)};
        }
        return {std::string(location), {}};
    }

    // Starts the transfer; false (after completing it with an error) when libcurl refuses it.
    bool begin(std::unique_ptr<Transfer>& transfer,
               std::map<CURL*, std::unique_ptr<Transfer>>& active) {
        if (!configure(*transfer) || curl_multi_add_handle(multi, transfer->easy) != CURLM_OK) {
            finish(std::move(transfer), CURLE_FAILED_INIT);
            return false;
        }
        CURL* easy = transfer->easy;
        active.emplace(easy, std::move(transfer));
        return true;
    }

    void run() {
        std::map<CURL*, std::unique_ptr<Transfer>> active;
        for (;;) {
            std::deque<std::unique_ptr<Transfer>> added;
            {
                std::lock_guard lock(mutex);
                if (stopping) {
                    break;
                }
                added.swap(incoming);
            }
            for (auto& transfer : added) {
                transfer->origin = transfer->request.url;
                begin(transfer, active);
            }
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE) {
                    continue;
                }
                CURL* easy = message->easy_handle;
                const CURLcode code = message->data.result;
                curl_multi_remove_handle(multi, easy);
                auto found = active.find(easy);
                if (found == active.end()) {
                    continue;
                }
                auto transfer = std::move(found->second);
                active.erase(found);
                const Redirect redirect = code == CURLE_OK ? redirectOf(*transfer) : Redirect{};
                if (redirect.target) {
                    auto next = std::make_unique<Transfer>();
                    next->request = std::move(transfer->request);
                    next->request.url = *redirect.target;
                    next->completion = std::move(transfer->completion);
                    next->origin = std::move(transfer->origin);
                    next->redirects = transfer->redirects + 1;
                    transfer.reset();
                    begin(next, active);
                } else if (!redirect.refusal.empty()) {
                    auto completion = std::move(transfer->completion);
                    transfer.reset();
                    completion(std::nullopt, redirect.refusal);
                } else {
                    finish(std::move(transfer), code);
                }
            }
            // Idle, the thread sleeps until a request or the stop wakes it.
            long timeout = -1;
            curl_multi_timeout(multi, &timeout);
            if (timeout < 0 || timeout > idleWait) {
                timeout = active.empty() ? idleWait : activeWait;
            }
            curl_multi_poll(multi, nullptr, 0, static_cast<int>(timeout), nullptr);
        }
        std::deque<std::unique_ptr<Transfer>> abandoned;
        {
            std::lock_guard lock(mutex);
            abandoned.swap(incoming);
        }
        for (auto& [easy, transfer] : active) {
            curl_multi_remove_handle(multi, easy);
            abandoned.push_back(std::move(transfer));
        }
        for (auto& transfer : abandoned) {
            auto completion = std::move(transfer->completion);
            transfer.reset();
            completion(std::nullopt, std::string("cancelled"));
        }
    }
};

CurlHttpSession::CurlHttpSession()
    : m_worker(std::make_shared<Worker>()) {}

CurlHttpSession::~CurlHttpSession() {
    std::thread thread;
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->stopping = true;
        thread = std::move(m_worker->thread);
    }
    if (m_worker->multi != nullptr) {
        curl_multi_wakeup(m_worker->multi);
    }
    if (!thread.joinable()) {
        return;
    }
    if (thread.get_id() == std::this_thread::get_id()) {
        // Released by one of its own completions: the worker holds its state and stops after
        // the completion returns.
        thread.detach();
    } else {
        thread.join();
    }
}

void CurlHttpSession::post(HttpRequest request, HttpCompletion completion) {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = std::move(request);
    transfer->completion = std::move(completion);
    {
        std::lock_guard lock(m_worker->mutex);
        if (m_worker->stopping || !m_worker->prepare()) {
            auto failed = std::move(transfer->completion);
            transfer.reset();
            // Never inline: callers rely on the completion arriving on another thread.
            std::thread([failed = std::move(failed)] {
                failed(std::nullopt, std::string("HTTP session unavailable"));
            }).detach();
            return;
        }
        m_worker->incoming.push_back(std::move(transfer));
        if (!m_worker->started) {
            m_worker->started = true;
            m_worker->thread = std::thread([worker = m_worker] { worker->run(); });
            ::pthread_setname_np(m_worker->thread.native_handle(), "tally.http");
        }
    }
    curl_multi_wakeup(m_worker->multi);
}

std::shared_ptr<HttpSession> HttpSession::shared() {
    static auto* session = new std::shared_ptr<HttpSession>(std::make_shared<CurlHttpSession>());
    return *session;
}

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (field == name) {
            return value;
        }
    }
    return std::nullopt;
}

bool isSameOrigin(const std::string& from, const std::string& to) {
    const auto a = originOf(from);
    const auto b = originOf(to);
    return a && b && *a == *b;
}

std::optional<std::string> sameOriginRedirectRefusal(const std::string& origin,
                                                     const std::string& location,
                                                     long status,
                                                     long followed) {
    const std::string prefix = "Redirect refused (status " + std::to_string(status) + "): ";
    if (!isSameOrigin(origin, location)) {
        return prefix + "another scheme, host or port";
    }
    if (followed >= CurlHttpSession::maximumRedirects) {
        return prefix + "too many redirects";
    }
    return std::nullopt;
}

std::optional<double> retryAfterSeconds(const HttpResponse& response, Date now) {
    const auto value = response.header("retry-after");
    if (!value || value->empty()) {
        return std::nullopt;
    }
    if (value->find_first_not_of("0123456789") == std::string::npos) {
        // Beyond any sensible wait; the caller bounds it anyway.
        return value->size() > 9 ? 1e9 : std::stod(*value);
    }
    const time_t date = curl_getdate(value->c_str(), nullptr);
    if (date < 0) {
        return std::nullopt;
    }
    return std::max(0.0, static_cast<double>(date) - now.unixSeconds());
}

bool isValidURL(const std::string& text) {
    CURLU* url = curl_url();
    if (url == nullptr) {
        return false;
    }
    const bool valid = curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(url);
    return valid;
}

}  // namespace vorn::host
