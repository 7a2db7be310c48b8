#include "System/HttpSession.h"

#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <curl/curl.h>

#include "System/Crypto.h"

#include <pthread.h>

namespace vorn::tally::system {
namespace {

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        initialiseOpenSSL();
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

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
    std::string answer;
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

// Sets up the easy handle; false when libcurl refuses an option.
bool configure(Transfer& transfer, const std::string& noProxy) {
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
    set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, transfer.request.followRedirects ? 1L : 0L));
    set(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, CurlHttpSession::maximumRedirects));
    set(curl_easy_setopt(easy, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL)));
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L));
    set(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, CurlHttpSession::idleTimeoutSeconds));
    set(curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L));
    set(curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, CurlHttpSession::idleTimeoutSeconds));
    set(curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str()));
    set(curl_easy_setopt(easy, CURLOPT_POST, 1L));
    set(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())));
    set(curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data()));
    set(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers));
    set(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collectAnswer));
    set(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer));
    set(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer));
    return ok;
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

// Milliseconds between looks at running transfers when libcurl names no time of its own, and
// the longest sleep of an idle worker.
constexpr long activeWait = 1000;
constexpr long idleWait = 3600 * 1000;

struct CurlHttpSession::Worker {
    std::mutex mutex;
    std::deque<std::unique_ptr<Transfer>> incoming;
    bool stopping = false;
    bool started = false;
    CURLM* multi = nullptr;
    std::thread thread;
    const std::string noProxy = noProxyList();

    Worker() {
        initialiseCurl();
        multi = curl_multi_init();
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
        transfer.reset();
        completion(std::move(response), std::nullopt);
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
                if (!configure(*transfer, noProxy)
                    || curl_multi_add_handle(multi, transfer->easy) != CURLM_OK) {
                    finish(std::move(transfer), CURLE_FAILED_INIT);
                    continue;
                }
                CURL* easy = transfer->easy;
                active.emplace(easy, std::move(transfer));
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
                finish(std::move(transfer), code);
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
        if (m_worker->stopping || m_worker->multi == nullptr) {
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

bool isValidURL(const std::string& text) {
    CURLU* url = curl_url();
    if (url == nullptr) {
        return false;
    }
    const bool valid = curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(url);
    return valid;
}

}  // namespace vorn::tally::system
