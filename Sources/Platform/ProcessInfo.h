#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vorn::platform {

// Facts about this process.
class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;

    virtual std::int32_t processIdentifier() = 0;
    // The login session's audit session number; no value when it cannot be read or is unset.
    virtual std::optional<std::uint32_t> auditSessionID() = 0;
};

// This process as the kernel reports it.
class SystemProcessInfo final : public ProcessInfo {
public:
    std::int32_t processIdentifier() override;
    // Read from the kernel's audit session identifier of the process.
    std::optional<std::uint32_t> auditSessionID() override;
};

// The kernel's text for the audit session: a decimal number, optionally followed by white space.
// The unset value 4294967295, anything else than such a number, and numbers out of range give no
// value.
std::optional<std::uint32_t> parseAuditSessionID(std::string_view text);

}  // namespace vorn::platform
