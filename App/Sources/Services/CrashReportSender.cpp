#include "CrashReportSender.h"

#include "FileIO.h"
#include "Log.h"

namespace vorn {
namespace {

void deleteRecord(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::remove(file, error);
}

}  // namespace

CrashReportSender::CrashReportSender(std::filesystem::path directory,
                                     Dsn dsn,
                                     std::shared_ptr<tally::system::HttpSession> session,
                                     Clock clock)
    : m_directory(std::move(directory))
    , m_dsn(std::move(dsn))
    , m_session(std::move(session))
    , m_clock(std::move(clock)) {}

void CrashReportSender::sendPending() {
    const Date now = m_clock();
    for (const auto& file : pendingCrashRecords(m_directory)) {
        const auto text = fileio::readFile(file);
        const auto record = text ? CrashRecord::parse(*text) : std::nullopt;
        if (!record) {
            vornObservabilityLog().error("crash report unreadable, deleted file=",
                                         file.filename().string());
            deleteRecord(file);
            continue;
        }
        if (now.unixSeconds() - record->timestamp > longestAge) {
            vornObservabilityLog().notice("crash report older than 30 days, deleted file=",
                                          file.filename().string());
            deleteRecord(file);
            continue;
        }
        tally::system::HttpRequest request;
        request.url = m_dsn.envelopeURL;
        request.headers = {{"Content-Type", "application/x-sentry-envelope"},
                           {std::string(Dsn::authHeaderName), m_dsn.authHeaderValue()}};
        request.body = crashEnvelope(*record, m_dsn, Uuid::random(), now);
        {
            std::lock_guard lock(m_mutex);
            ++m_inFlight;
        }
        auto self = shared_from_this();
        m_session->post(std::move(request),
                        [self, file](std::optional<tally::system::HttpResponse> response,
                                     std::optional<std::string> error) {
                            self->finished(file, response, error);
                        });
    }
}

void CrashReportSender::finished(const std::filesystem::path& file,
                                 const std::optional<tally::system::HttpResponse>& response,
                                 const std::optional<std::string>& error) {
    const std::string name = file.filename().string();
    if (!response) {
        vornObservabilityLog().error("crash report not sent, kept file=", name,
                                     " error=", error.value_or("no answer"));
    } else if (response->status >= 200 && response->status <= 299) {
        vornObservabilityLog().notice("crash report sent file=", name);
        deleteRecord(file);
    } else if (response->status == 429 || response->status >= 500) {
        vornObservabilityLog().notice("crash report deferred, kept file=", name,
                                      " status=", response->status);
    } else {
        // The service will never take it: keeping it would send it again at every start.
        vornObservabilityLog().error("crash report rejected, deleted file=", name,
                                     " status=", response->status);
        deleteRecord(file);
    }
    {
        std::lock_guard lock(m_mutex);
        --m_inFlight;
    }
    m_done.notify_all();
}

bool CrashReportSender::waitUntilDone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, timeout, [this] { return m_inFlight == 0; });
}

}  // namespace vorn
