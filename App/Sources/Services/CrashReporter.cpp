#include "CrashReporter.h"

#include "CrashHandler.h"
#include "FileIO.h"
#include "Log.h"

namespace vorn {
namespace {

std::atomic<int>& hangTrackingPauses() {
    static std::atomic<int> pauses{0};
    return pauses;
}

}  // namespace

CrashReporter::CrashReporter(std::filesystem::path dataDirectory,
                             std::shared_ptr<host::HttpSession> session,
                             Clock clock)
    : m_directory(reportsDirectory(dataDirectory))
    , m_session(session ? std::move(session) : host::HttpSession::shared())
    , m_clock(std::move(clock)) {}

std::filesystem::path CrashReporter::reportsDirectory(const std::filesystem::path& dataDirectory) {
    return dataDirectory / "crashes";
}

void CrashReporter::start(const std::function<void(CrashOptions&)>& configure) {
    std::lock_guard lock(m_mutex);
    if (m_started) {
        if (m_stopped) {
            m_stopped = false;
            CrashHandler::setRecording(true);
        }
        return;
    }
    m_started = true;
    CrashOptions options;
    configure(options);
    const auto dsn = Dsn::parse(options.dsn());
    if (!dsn) {
        vornObservabilityLog().error("crash reporting off: unreadable DSN");
        return;
    }
    const auto created = fileio::createDirectories(m_directory);
    if (!created.ok) {
        vornObservabilityLog().error("crash reporting off: no folder for records error=",
                                     created.error);
        return;
    }
    CrashHandler::Settings settings;
    settings.directory = m_directory;
    settings.releaseName = options.releaseName();
    settings.environment = options.environment();
    settings.uncaughtExceptions = options.enableUncaughtExceptionReporting();
    if (!CrashHandler::install(settings)) {
        vornObservabilityLog().error("crash handlers not installed path=", m_directory.string());
    } else if (options.debug()) {
        vornObservabilityLog().debug("crash handlers installed path=", m_directory.string());
    }
    m_sender = std::make_shared<CrashReportSender>(m_directory, *dsn, m_session, m_clock);
    m_sender->sendPending();
}

void CrashReporter::stop() {
    std::lock_guard lock(m_mutex);
    if (!m_started || m_stopped) {
        return;
    }
    m_stopped = true;
    CrashHandler::setRecording(false);
    if (m_sender) {
        m_sender->cancel();
    }
}

void CrashReporter::discardPendingReports() {
    removeCrashRecords(m_directory);
}

bool CrashReporter::flush(std::chrono::milliseconds timeout) {
    std::shared_ptr<CrashReportSender> sender;
    {
        std::lock_guard lock(m_mutex);
        sender = m_sender;
    }
    return !sender || sender->waitUntilDone(timeout);
}

void CrashReporter::pauseAppHangTracking() {
    ++hangTrackingPauses();
}

void CrashReporter::resumeAppHangTracking() {
    int pauses = hangTrackingPauses().load();
    // An unmatched resume must not leave tracking paused by a count below zero.
    while (pauses > 0 && !hangTrackingPauses().compare_exchange_weak(pauses, pauses - 1)) {
    }
}

bool CrashReporter::isAppHangTrackingPaused() {
    return hangTrackingPauses().load() > 0;
}

}  // namespace vorn
