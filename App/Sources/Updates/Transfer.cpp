#include "Transfer.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include <curl/curl.h>

#include "CurlSetup.h"
#include "HttpSession.h"

#include <pthread.h>
#include <unistd.h>

namespace vorn::updates {
namespace {

constexpr auto progressInterval = std::chrono::milliseconds(100);

UpdateError curlError(CURLcode code, const char* detail) {
    std::string text = curl_easy_strerror(code);
    if (detail != nullptr && detail[0] != '\0') {
        text += ": ";
        text += detail;
    }
    return UpdateError{"curl", static_cast<long>(code), std::move(text), nullptr};
}

}  // namespace

struct Transfer::State {
    TransferRequest request;
    MainExecutor* main = nullptr;
    Progress onProgress;
    Completion onDone;
    std::thread thread;
    std::atomic<bool> cancelled{false};
    // Main thread only: cleared when the transfer is destroyed, so that nothing posted earlier
    // is delivered afterwards.
    bool delivering = true;
    std::weak_ptr<State> self;

    // Worker thread only.
    std::FILE* out = nullptr;
    TransferResult result;
    bool tooLong = false;
    bool writeFailed = false;
    std::string redirectRefused;
    std::chrono::steady_clock::time_point lastProgress;

    void run(const std::shared_ptr<State>& self);
    // Empties what was received so far, for the answer of the next address; false when the file
    // cannot be emptied.
    bool restart();
    void post(std::function<void()> task, const std::shared_ptr<State>& self) {
        main->post([self, task = std::move(task)] {
            if (self->delivering) {
                task();
            }
        });
    }
};

namespace {

std::size_t collect(char* data, std::size_t size, std::size_t count, void* context) {
    auto* state = static_cast<Transfer::State*>(context);
    const std::size_t bytes = size * count;
    if (state->result.received + bytes > state->request.maximumBytes) {
        state->tooLong = true;
        return 0;
    }
    if (state->out != nullptr) {
        if (std::fwrite(data, 1, bytes, state->out) != bytes) {
            state->writeFailed = true;
            return 0;
        }
    } else {
        state->result.body.append(data, bytes);
    }
    state->result.received += bytes;
    return bytes;
}

}  // namespace

namespace {

int progress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t);

}  // namespace

bool Transfer::State::restart() {
    result.body.clear();
    result.received = 0;
    if (out != nullptr
        && (std::fflush(out) != 0 || ::ftruncate(::fileno(out), 0) != 0
            || std::fseek(out, 0, SEEK_SET) != 0)) {
        writeFailed = true;
        return false;
    }
    return true;
}

void Transfer::State::run(const std::shared_ptr<State>& self) {
    if (request.file) {
        out = std::fopen(request.file->c_str(), "wbe");
        if (out == nullptr) {
            result.error =
                UpdateError{"posix", errno, "the download file cannot be written", nullptr};
            post([self, result = std::move(result)]() mutable { self->onDone(std::move(result)); },
                 self);
            return;
        }
    }
    CURL* easy = curl_easy_init();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURLcode code = CURLE_FAILED_INIT;
    long status = 0;
    // An option refused leaves the transfer unchecked: it fails rather than runs without it.
    if (easy != nullptr && host::applyCommonOptions(easy)) {
        // Redirects are followed here, each checked first: a feed or a package must not come
        // over plain http, nor from another server, because its address said https.
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
        std::string url = request.url;
        for (long followed = 0;; ++followed) {
            curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
            code = curl_easy_perform(easy);
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            char* location = nullptr;
            curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
            if (code != CURLE_OK || status < 300 || status > 399 || location == nullptr) {
                break;
            }
            if (const auto refusal =
                    host::sameOriginRedirectRefusal(request.url, location, status, followed)) {
                redirectRefused = *refusal + " (" + location + ")";
                break;
            }
            url = location;
            // What the redirect's answer carried is not the feed or the package.
            if (!restart()) {
                break;
            }
        }
    }
    curl_easy_cleanup(easy);
    if (out != nullptr && std::fclose(out) != 0 && code == CURLE_OK) {
        writeFailed = true;
    }
    out = nullptr;
    if (!redirectRefused.empty()) {
        result.error = UpdateError{"transfer", 2, redirectRefused, nullptr};
    } else if (tooLong) {
        result.error = UpdateError{
            "transfer", 1,
            "the answer is longer than " + std::to_string(request.maximumBytes) + " bytes",
            nullptr};
    } else if (writeFailed) {
        result.error = UpdateError{"posix", errno, "the download file cannot be written", nullptr};
    } else if (code != CURLE_OK) {
        result.error = curlError(code, errorBuffer);
    } else if (status < 200 || status > 299) {
        result.error = UpdateError{"http", status,
                                   "the server answered HTTP " + std::to_string(status), nullptr};
    }
    if (cancelled.load()) {
        return;
    }
    post([self, result = std::move(result)]() mutable { self->onDone(std::move(result)); }, self);
}

namespace {

int progress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* state = static_cast<Transfer::State*>(context);
    if (state->cancelled.load()) {
        return 1;
    }
    const auto at = std::chrono::steady_clock::now();
    if (state->onProgress && now > 0 && at - state->lastProgress >= progressInterval) {
        state->lastProgress = at;
        if (auto self = state->self.lock()) {
            const auto received = static_cast<std::uint64_t>(now);
            const auto expected = static_cast<std::uint64_t>(total > 0 ? total : 0);
            state->post([self, received, expected] { self->onProgress(received, expected); }, self);
        }
    }
    return 0;
}

}  // namespace

Transfer::Transfer(std::shared_ptr<State> state)
    : m_state(std::move(state)) {}

std::unique_ptr<Transfer> Transfer::start(TransferRequest request,
                                          MainExecutor& main,
                                          Progress onProgress,
                                          Completion onDone) {
    host::initialiseCurl();
    auto state = std::make_shared<State>();
    state->request = std::move(request);
    state->main = &main;
    state->onProgress = std::move(onProgress);
    state->onDone = std::move(onDone);
    state->self = state;
    state->thread = std::thread([state] { state->run(state); });
    ::pthread_setname_np(state->thread.native_handle(), "vorn.update");
    return std::unique_ptr<Transfer>(new Transfer(state));
}

Transfer::~Transfer() {
    m_state->delivering = false;
    m_state->cancelled = true;
    if (m_state->thread.joinable()) {
        m_state->thread.join();
    }
}

std::optional<std::string> resolveAddress(const std::string& base, const std::string& reference) {
    CURLU* url = curl_url();
    if (url == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> resolved;
    char* text = nullptr;
    if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK
        && curl_url_set(url, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK
        && curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        resolved = text;
    }
    curl_free(text);
    curl_url_cleanup(url);
    return resolved;
}

}  // namespace vorn::updates
