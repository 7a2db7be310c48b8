#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

#include "CrashBackend.h"
#include "CrashReportSender.h"
#include "Date.h"
#include "HttpSession.h"

namespace vorn {

// The program's own crash reporting. Started with consent, it records fatal signals and
// uncaught exceptions into "<data directory>/crashes" (see CrashHandler) and sends the records
// a previous run left to the DSN's envelope address (see CrashReportSender).
class CrashReporter final : public CrashBackend {
public:
    // Null session: the process's shared one.
    explicit CrashReporter(std::filesystem::path dataDirectory,
                           std::shared_ptr<host::HttpSession> session = nullptr,
                           Clock clock = systemClock());

    // Installs the handlers and starts sending waiting records. An unreadable DSN leaves
    // crash reporting off; a later start only resumes what stop() stopped.
    void start(const std::function<void(CrashOptions&)>& configure) override;
    void stop() override;
    void discardPendingReports() override;

    // Waits until the sends started by start() have their answers; false after the timeout.
    bool flush(std::chrono::milliseconds timeout);

    static std::filesystem::path reportsDirectory(const std::filesystem::path& dataDirectory);

    // Application-hang tracking: the application pauses it around its modal alerts. Nothing
    // watches for hangs, so these only keep count; they may be called at any time, before
    // crash reporting starts or without it.
    static void pauseAppHangTracking();
    static void resumeAppHangTracking();
    static bool isAppHangTrackingPaused();

private:
    const std::filesystem::path m_directory;
    const std::shared_ptr<host::HttpSession> m_session;
    const Clock m_clock;
    std::mutex m_mutex;
    bool m_started = false;
    bool m_stopped = false;
    std::shared_ptr<CrashReportSender> m_sender;
};

}  // namespace vorn
