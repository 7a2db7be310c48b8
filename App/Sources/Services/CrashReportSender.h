#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>

#include "CrashEnvelope.h"
#include "Date.h"
#include "System/HttpSession.h"

namespace vorn {

// Sends the crash records waiting in a directory, one envelope per request. A record is deleted
// once the service accepted it, or rejected it for good; after a 429, a server error or a
// failed connection it stays for the next start. A record older than 30 days is deleted
// unsent.
class CrashReportSender : public std::enable_shared_from_this<CrashReportSender> {
public:
    static constexpr double longestAge = 30.0 * 86400;

    CrashReportSender(std::filesystem::path directory,
                      Dsn dsn,
                      std::shared_ptr<tally::system::HttpSession> session,
                      Clock clock = systemClock());

    // Starts sending every waiting record and returns at once.
    void sendPending();
    // Waits until every send started has its answer; false after the timeout.
    bool waitUntilDone(std::chrono::milliseconds timeout);

private:
    void finished(const std::filesystem::path& file,
                  const std::optional<tally::system::HttpResponse>& response,
                  const std::optional<std::string>& error);

    const std::filesystem::path m_directory;
    const Dsn m_dsn;
    const std::shared_ptr<tally::system::HttpSession> m_session;
    const Clock m_clock;
    std::mutex m_mutex;
    std::condition_variable m_done;
    int m_inFlight = 0;
};

}  // namespace vorn
