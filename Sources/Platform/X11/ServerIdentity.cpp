#include "ServerIdentity.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Log.h"
#include "Logind.h"
#include "ProcessInfo.h"
#include "X11Parts.h"

#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace vorn::platform::x11 {
namespace {

// Longer than any boot id or session name; anything longer is not one.
constexpr std::size_t maxFactLength = 128;

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    return text.size() > maxFactLength ? std::string() : text;
}

std::string readFirstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    if (in) {
        std::getline(in, line);
    }
    return trimmed(std::move(line));
}

std::optional<std::int32_t> peerProcess(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    // Fails for a TCP connection: the server is remote, or at least not ours to name.
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0
        || length != sizeof credentials || credentials.pid <= 0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(credentials.pid);
}

std::optional<std::uint64_t> processStart(std::int32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    if (!in) {
        return std::nullopt;
    }
    std::string stat;
    std::getline(in, stat);
    return parseProcessStart(stat);
}

std::string loginSession() {
    if (std::string name = trimmed(ownSessionID()); !name.empty()) {
        return name;
    }
    if (const auto audit = SystemProcessInfo().auditSessionID()) {
        return "audit" + std::to_string(*audit);
    }
    return {};
}

}  // namespace

std::string sessionIdentity(const ServerFacts& facts) {
    std::string identity = "x11:";
    identity += facts.bootID.empty() ? "?" : facts.bootID;
    if (facts.serverPID && facts.serverStart) {
        identity += ":server=" + std::to_string(*facts.serverPID) + "@"
                    + std::to_string(*facts.serverStart);
        return identity;
    }
    identity += ":display=" + facts.displayName;
    identity += ",session=" + (facts.loginSession.empty() ? "?" : facts.loginSession);
    return identity;
}

ServerFacts readServerFacts(int connectionFD, const std::string& displayName) {
    ServerFacts facts;
    facts.bootID = readFirstLine("/proc/sys/kernel/random/boot_id");
    facts.serverPID = peerProcess(connectionFD);
    if (facts.serverPID) {
        facts.serverStart = processStart(*facts.serverPID);
    }
    facts.displayName = displayName;
    if (!facts.serverPID || !facts.serverStart) {
        facts.loginSession = loginSession();
    }
    return facts;
}

std::optional<std::uint64_t> parseProcessStart(std::string_view stat) {
    // The name ends at the last parenthesis; the state is field 3, the start time field 22.
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = stat.substr(nameEnd + 1);
    int field = 2;
    while (!rest.empty()) {
        const auto start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(start);
        const auto end = std::min(rest.find(' '), rest.size());
        const std::string_view token = rest.substr(0, end);
        if (++field == 22) {
            std::uint64_t value = 0;
            const auto [last, error] =
                std::from_chars(token.data(), token.data() + token.size(), value);
            if (error != std::errc() || last != token.data() + token.size()) {
                return std::nullopt;
            }
            return value;
        }
        rest.remove_prefix(end);
    }
    return std::nullopt;
}

std::optional<double> processStartTime(std::int32_t pid) {
    const auto ticks = pid > 0 ? processStart(pid) : std::nullopt;
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    timespec sinceBoot{};
    timespec wall{};
    if (!ticks || perSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &sinceBoot) != 0
        || ::clock_gettime(CLOCK_REALTIME, &wall) != 0) {
        return std::nullopt;
    }
    // The kernel counts a start in ticks of the clock that runs since boot, suspended time
    // included; the wall clock stood at now less that clock's reading when it began.
    const double boot = static_cast<double>(wall.tv_sec - sinceBoot.tv_sec)
                        + static_cast<double>(wall.tv_nsec - sinceBoot.tv_nsec) / 1e9;
    return boot + static_cast<double>(*ticks) / static_cast<double>(perSecond);
}

std::optional<std::string> X11WindowServer::sessionIdentity() {
    if (m_sessionIdentity) {
        return m_sessionIdentity;
    }
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    const ServerFacts facts =
        readServerFacts(connection->fileDescriptor(), connection->displayName());
    if (!facts.serverStart) {
        vornWMLog().notice("x11: X server process unknown; session named by display=",
                           facts.displayName, " session=", facts.loginSession);
    }
    m_sessionIdentity = x11::sessionIdentity(facts);
    return m_sessionIdentity;
}

}  // namespace vorn::platform::x11
