#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>

#include "CrashEnvelope.h"
#include "Date.h"
#include "HttpSession.h"

namespace vorn {

// Sends the crash records waiting in a directory, one envelope per request and one request at
// a time, newest first. A record is deleted once the service accepted it, or rejected it for
// good; a 429, a server error, a redirect or a failed connection keeps it and ends the round,
// leaving the rest for the next start. Records older than 30 days, and all but the newest 20,
// are deleted unsent.
class CrashReportSender : public std::enable_shared_from_this<CrashReportSender> {
public:
    static constexpr double longestAge = 30.0 * 86400;
    static constexpr std::size_t mostKept = 20;

    CrashReportSender(std::filesystem::path directory,
                      Dsn dsn,
                      std::shared_ptr<host::HttpSession> session,
                      Clock clock = systemClock());

    // Starts sending the waiting records and returns at once.
    void sendPending();
    // Starts no further request; one under way still gets its answer.
    void cancel();
    // Waits until the round has ended; false after the timeout.
    bool waitUntilDone(std::chrono::milliseconds timeout);

private:
    void sendNext();
    // Whether the round goes on with the next record.
    bool finished(const std::filesystem::path& file,
                  const std::optional<host::HttpResponse>& response,
                  const std::optional<std::string>& error);
    void endRound();

    const std::filesystem::path m_directory;
    const Dsn m_dsn;
    const std::shared_ptr<host::HttpSession> m_session;
    const Clock m_clock;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::deque<std::filesystem::path> m_queue;
    bool m_sending = false;
    bool m_cancelled = false;
};

}  // namespace vorn
