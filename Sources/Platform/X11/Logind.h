#pragma once

#include <optional>
#include <string>

#include "Value.h"

struct sd_bus;

namespace vorn::platform::x11 {

// This process's logind session: the one systemd places it in, else $XDG_SESSION_ID; empty
// when neither names one.
std::string ownSessionID();

// The login session's state as logind reports it.
struct SessionState {
    bool active = true;   // the session is in the foreground of its seat
    bool locked = false;  // the screen is locked

    friend bool operator==(const SessionState&, const SessionState&) = default;
};

// Reads this process's login session from logind over D-Bus. Calls are synchronous and bounded
// by a short timeout. Main thread only.
class LogindSession {
public:
    // The system bus, and the session of this process, else $XDG_SESSION_ID, else the user's
    // graphical session.
    LogindSession();
    // Another bus and session object, for tests.
    LogindSession(std::string busAddress, std::string sessionPath);
    ~LogindSession();
    LogindSession(const LogindSession&) = delete;
    LogindSession& operator=(const LogindSession&) = delete;

    // No value without logind, without a session, or when the question failed.
    std::optional<SessionState> read();

private:
    bool connect();
    void disconnect();

    std::string m_busAddress;  // empty: the system bus
    std::string m_sessionPath;
    sd_bus* m_bus = nullptr;
    bool m_reportedFailure = false;
};

// The session dictionary of the window-server interface. Without logind's word the session
// counts as on the console and unlocked: nothing else says otherwise.
Value sessionDictionary(const std::optional<SessionState>& state);

}  // namespace vorn::platform::x11
