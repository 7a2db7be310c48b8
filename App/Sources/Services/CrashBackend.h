#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vorn {

// The settings of crash reporting. Each setter also notes the option's name, so that the order
// in which they were set can be checked.
class CrashOptions {
public:
    const std::string& dsn() const { return m_dsn; }
    void setDsn(std::string dsn);
    bool enableAutoSessionTracking() const { return m_enableAutoSessionTracking; }
    void setEnableAutoSessionTracking(bool enabled);
    double tracesSampleRate() const { return m_tracesSampleRate; }
    void setTracesSampleRate(double rate);
    bool sendDefaultPii() const { return m_sendDefaultPii; }
    void setSendDefaultPii(bool enabled);
    bool enableUncaughtExceptionReporting() const { return m_enableUncaughtExceptionReporting; }
    void setEnableUncaughtExceptionReporting(bool enabled);
    const std::string& releaseName() const { return m_releaseName; }
    void setReleaseName(std::string name);
    const std::string& environment() const { return m_environment; }
    void setEnvironment(std::string environment);
    bool debug() const { return m_debug; }
    void setDebug(bool enabled);

    // The names of the options set so far ("dsn", "releaseName" ...), in the order set.
    const std::vector<std::string>& setOrder() const { return m_setOrder; }

private:
    std::string m_dsn;
    bool m_enableAutoSessionTracking = true;
    double m_tracesSampleRate = 0;
    bool m_sendDefaultPii = false;
    bool m_enableUncaughtExceptionReporting = false;
    std::string m_releaseName;
    std::string m_environment = "production";
    bool m_debug = false;
    std::vector<std::string> m_setOrder;
};

// What start-up needs of crash reporting.
class CrashBackend {
public:
    virtual ~CrashBackend() = default;

    // Starts crash reporting with the options configure sets. Only the first start in a process
    // sets it up; a start after stop() resumes it as it was.
    virtual void start(const std::function<void(CrashOptions&)>& configure) = 0;
    // Stops crash reporting for this run: crashes are no longer recorded and no further record
    // is sent.
    virtual void stop() = 0;
    // Deletes the crash records kept for a later send, unsent.
    virtual void discardPendingReports() = 0;
};

}  // namespace vorn
