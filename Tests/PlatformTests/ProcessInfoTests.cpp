#include <gtest/gtest.h>

#include "ProcessInfo.h"

#include <unistd.h>

namespace vorn::platform {
namespace {

TEST(ProcessInfoTest, AuditSessionTextParsesOnlyWhenSetAndWellFormed) {
    const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> cases = {
        {"12\n", 12u},
        {"0", 0u},
        {"4294967294\n", 4294967294u},
        {"4294967295\n", std::nullopt},  // the kernel's value for no session
        {"4294967296", std::nullopt},
        {"", std::nullopt},
        {"\n", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5x", std::nullopt},
        {"abc", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseAuditSessionID(text), expected);
    }
}

TEST(ProcessInfoTest, SystemProcessInfoReportsThisProcess) {
    SystemProcessInfo info;
    EXPECT_EQ(info.processIdentifier(), static_cast<std::int32_t>(::getpid()));
    // Whether a session number exists depends on how the tests were started; either answer
    // must be a real session, never the unset value.
    EXPECT_NE(info.auditSessionID(), std::optional<std::uint32_t>(4294967295u));
}

}  // namespace
}  // namespace vorn::platform
