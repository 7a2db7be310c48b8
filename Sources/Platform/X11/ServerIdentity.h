#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::platform::x11 {

// What tells one run of an X server from another.
struct ServerFacts {
    std::string bootID;  // the machine's boot id; empty when it cannot be read
    // The process at the other end of a local connection and its start time in clock ticks
    // after boot; no values for a remote server, or when they cannot be read.
    std::optional<std::int32_t> serverPID;
    std::optional<std::uint64_t> serverStart;
    std::string displayName;   // ":0", "localhost:10.0"
    std::string loginSession;  // this process's login session; empty when unknown
};

// The server's session identity: on this boot, the server process and its start, which no other
// run of a server shares; for a remote server (or one whose process cannot be told), the display
// and this login session. Opaque to its users, who only compare it.
std::string sessionIdentity(const ServerFacts& facts);

// Reads the facts for the connection's socket; never fails, leaving out what it cannot read.
ServerFacts readServerFacts(int connectionFD, const std::string& displayName);

// The start time of a /proc/<pid>/stat text (its 22nd field); no value when the text is not
// such a line. The process name in parentheses may itself hold spaces and parentheses.
std::optional<std::uint64_t> parseProcessStart(std::string_view stat);

// When the process started, in seconds since 1970 by the wall clock, to a clock tick; no value
// when the kernel's record of it cannot be read.
std::optional<double> processStartTime(std::int32_t pid);

}  // namespace vorn::platform::x11
