#include "CrashReportSender.h"

#include <algorithm>

#include "FileIO.h"
#include "Log.h"

namespace vorn {
namespace {

void deleteRecord(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::remove(file, error);
}

std::optional<CrashRecord> readRecord(const std::filesystem::path& file) {
    const auto text = fileio::readFile(file);
    return text ? CrashRecord::parse(*text) : std::nullopt;
}

}  // namespace

CrashReportSender::CrashReportSender(std::filesystem::path directory,
                                     Dsn dsn,
                                     std::shared_ptr<host::HttpSession> session,
                                     Clock clock)
    : m_directory(std::move(directory))
    , m_dsn(std::move(dsn))
    , m_session(std::move(session))
    , m_clock(std::move(clock)) {}

void CrashReportSender::sendPending() {
    // Named by the time of the crash: newest first without reading them.
    auto waiting = pendingCrashRecords(m_directory);
    std::reverse(waiting.begin(), waiting.end());
    if (waiting.size() > mostKept) {
        // A crash at every start must not pile up without end, nor be sent all at once.
        for (std::size_t i = mostKept; i < waiting.size(); ++i) {
            deleteRecord(waiting[i]);
        }
        vornObservabilityLog().notice("crash reports beyond the newest ", mostKept,
                                      " deleted count=", waiting.size() - mostKept);
        waiting.resize(mostKept);
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_sending || m_cancelled) {
            return;
        }
        m_queue.assign(waiting.begin(), waiting.end());
        m_sending = true;
    }
    sendNext();
}

void CrashReportSender::sendNext() {
    for (;;) {
        std::filesystem::path file;
        {
            std::lock_guard lock(m_mutex);
            if (m_cancelled || m_queue.empty()) {
                m_queue.clear();
                m_sending = false;
                m_done.notify_all();
                return;
            }
            file = m_queue.front();
            m_queue.pop_front();
        }
        // Deleted meanwhile, when the user withdrew consent.
        std::error_code missing;
        if (!std::filesystem::exists(file, missing)) {
            continue;
        }
        const auto record = readRecord(file);
        if (!record) {
            vornObservabilityLog().error("crash report unreadable, deleted file=",
                                         file.filename().string());
            deleteRecord(file);
            continue;
        }
        if (m_clock().unixSeconds() - record->timestamp > longestAge) {
            vornObservabilityLog().notice("crash report older than 30 days, deleted file=",
                                          file.filename().string());
            deleteRecord(file);
            continue;
        }
        host::HttpRequest request;
        request.url = m_dsn.envelopeURL;
        request.headers = {{"Content-Type", "application/x-sentry-envelope"},
                           {std::string(Dsn::authHeaderName), m_dsn.authHeaderValue()}};
        request.body = crashEnvelope(*record, m_dsn, Uuid::random(), m_clock());
        // The envelope carries the key: it goes to the DSN's address or nowhere.
        request.redirects = host::RedirectPolicy::none;
        auto self = shared_from_this();
        m_session->post(std::move(request), [self, file](std::optional<host::HttpResponse> response,
                                                         std::optional<std::string> error) {
            if (self->finished(file, response, error)) {
                self->sendNext();
            } else {
                self->endRound();
            }
        });
        return;
    }
}

bool CrashReportSender::finished(const std::filesystem::path& file,
                                 const std::optional<host::HttpResponse>& response,
                                 const std::optional<std::string>& error) {
    const std::string name = file.filename().string();
    if (!response) {
        vornObservabilityLog().error("crash report not sent, kept file=", name,
                                     " error=", error.value_or("no answer"));
        return false;
    }
    if (response->status >= 200 && response->status <= 299) {
        vornObservabilityLog().notice("crash report sent file=", name);
        deleteRecord(file);
        return true;
    }
    if (response->status == 429 || response->status >= 500) {
        vornObservabilityLog().notice("crash report deferred, kept file=", name,
                                      " status=", response->status);
        return false;
    }
    // The service will never take it: keeping it would send it again at every start.
    vornObservabilityLog().error("crash report rejected, deleted file=", name,
                                 " status=", response->status);
    deleteRecord(file);
    return true;
}

void CrashReportSender::endRound() {
    std::lock_guard lock(m_mutex);
    if (!m_queue.empty()) {
        vornObservabilityLog().notice("crash reports left for the next start count=",
                                      m_queue.size());
    }
    m_queue.clear();
    m_sending = false;
    m_done.notify_all();
}

void CrashReportSender::cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_queue.clear();
}

bool CrashReportSender::waitUntilDone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, timeout, [this] { return !m_sending; });
}

}  // namespace vorn
