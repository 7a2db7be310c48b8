#include "Logind.h"

#include <cstdlib>

#include "Log.h"
#include "WindowServer.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-login.h>
#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

constexpr const char* logindService = "org.freedesktop.login1";
constexpr const char* sessionInterface = "org.freedesktop.login1.Session";
constexpr const char* systemBusAddress = "unix:path=/run/dbus/system_bus_socket";
// A logind that does not answer within this time is taken as absent for this question.
constexpr std::uint64_t callTimeoutMicroseconds = 500'000;

std::string withoutTrailingSpace(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    return text;
}

std::string ownSessionPath() {
    std::string session = ownSessionID();
    if (session.empty()) {
        // A process outside any session, such as a user service: the session with the user's
        // display.
        char* display = nullptr;
        if (sd_uid_get_display(::getuid(), &display) >= 0 && display != nullptr) {
            session = display;
        }
        std::free(display);
    }
    if (session.empty()) {
        return {};
    }
    char* path = nullptr;
    const int result =
        sd_bus_path_encode("/org/freedesktop/login1/session", session.c_str(), &path);
    if (result < 0 || path == nullptr) {
        return {};
    }
    std::string encoded(path);
    std::free(path);
    return encoded;
}

}  // namespace

std::string ownSessionID() {
    std::string name;
    char* session = nullptr;
    if (sd_pid_get_session(0, &session) >= 0 && session != nullptr) {
        name = withoutTrailingSpace(session);
    }
    std::free(session);
    if (name.empty()) {
        if (const char* fromEnvironment = std::getenv("XDG_SESSION_ID")) {
            name = withoutTrailingSpace(fromEnvironment);
        }
    }
    return name;
}

LogindSession::LogindSession()
    : m_sessionPath(ownSessionPath()) {}

LogindSession::LogindSession(std::string busAddress, std::string sessionPath)
    : m_busAddress(std::move(busAddress))
    , m_sessionPath(std::move(sessionPath)) {}

LogindSession::~LogindSession() {
    disconnect();
}

bool LogindSession::connect() {
    if (m_bus != nullptr && sd_bus_is_open(m_bus) > 0) {
        return true;
    }
    disconnect();
    std::string address = m_busAddress;
    if (address.empty()) {
        const char* fromEnvironment = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        address = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment
                                                                         : systemBusAddress;
    }
    // The timeout must be in place before the start, which already sends the first call.
    const bool started = sd_bus_new(&m_bus) >= 0 && sd_bus_set_address(m_bus, address.c_str()) >= 0
                         && sd_bus_set_bus_client(m_bus, 1) >= 0
                         && sd_bus_set_method_call_timeout(m_bus, callTimeoutMicroseconds) >= 0
                         && sd_bus_start(m_bus) >= 0;
    if (!started) {
        disconnect();
        return false;
    }
    return true;
}

void LogindSession::disconnect() {
    if (m_bus != nullptr) {
        m_bus = sd_bus_flush_close_unref(m_bus);
    }
}

std::optional<SessionState> LogindSession::read() {
    if (m_sessionPath.empty() || !connect()) {
        return std::nullopt;
    }
    SessionState state;
    int active = 1;
    int locked = 0;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int result = sd_bus_get_property_trivial(m_bus, logindService, m_sessionPath.c_str(),
                                             sessionInterface, "Active", &error, 'b', &active);
    if (result >= 0) {
        sd_bus_error_free(&error);
        result = sd_bus_get_property_trivial(m_bus, logindService, m_sessionPath.c_str(),
                                             sessionInterface, "LockedHint", &error, 'b', &locked);
    }
    if (result < 0) {
        if (!m_reportedFailure) {
            vornWMLog().notice(
                "x11: logind did not tell the session's state session=", m_sessionPath,
                " error=", error.name != nullptr ? error.name : "unknown");
            m_reportedFailure = true;
        }
        sd_bus_error_free(&error);
        return std::nullopt;
    }
    sd_bus_error_free(&error);
    m_reportedFailure = false;
    state.active = active != 0;
    state.locked = locked != 0;
    return state;
}

Value sessionDictionary(const std::optional<SessionState>& state) {
    const SessionState s = state.value_or(SessionState{});
    Value::Dictionary entries;
    entries.emplace(sessionkey::onConsole, Value::boolean(s.active));
    if (s.locked) {
        entries.emplace(sessionkey::screenIsLocked, Value::boolean(true));
    }
    return Value::dictionary(std::move(entries));
}

}  // namespace vorn::platform::x11
