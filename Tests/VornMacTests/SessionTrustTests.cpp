#include <gtest/gtest.h>

#include "SessionTrust.h"
#include "SimulatedWorld.h"

namespace vorn {
namespace {

using platform::Value;

TEST(SessionTrustTest, OnlyAnUnlockedConsoleSessionIsTrusted) {
    const Value yes = Value::boolean(true);
    const Value no = Value::boolean(false);
    struct Case {
        const char* name;
        std::optional<Value> session;
        std::optional<Untrustworthy> reason;
    };
    const std::vector<Case> cases = {
        {"on console", Value::dictionary({{"kCGSSessionOnConsoleKey", yes}}), std::nullopt},
        {"on console as a number",
         Value::dictionary({{"kCGSSessionOnConsoleKey", Value::integer(1)}}), std::nullopt},
        {"unlocked",
         Value::dictionary({{"CGSSessionScreenIsLocked", no}, {"kCGSSessionOnConsoleKey", yes}}),
         std::nullopt},
        {"lock flag of another type",
         Value::dictionary({{"CGSSessionScreenIsLocked", Value::string("yes")},
                            {"kCGSSessionOnConsoleKey", yes}}),
         std::nullopt},
        {"locked",
         Value::dictionary({{"CGSSessionScreenIsLocked", yes}, {"kCGSSessionOnConsoleKey", yes}}),
         Untrustworthy::locked},
        {"locked as a number",
         Value::dictionary(
             {{"CGSSessionScreenIsLocked", Value::integer(1)}, {"kCGSSessionOnConsoleKey", yes}}),
         Untrustworthy::locked},
        {"off console", Value::dictionary({{"kCGSSessionOnConsoleKey", no}}),
         Untrustworthy::offConsole},
        {"console flag missing", Value::dictionary({{"CGSSessionScreenIsLocked", no}}),
         Untrustworthy::offConsole},
        {"console flag as text",
         Value::dictionary({{"kCGSSessionOnConsoleKey", Value::string("true")}}),
         Untrustworthy::offConsole},
        {"empty", Value::dictionary({}), Untrustworthy::offConsole},
        {"no session", std::nullopt, Untrustworthy::noSessionDict},
        {"not a dictionary", Value::array({yes}), Untrustworthy::noSessionDict},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::SimulatedWorld world;
        world.desktop.sessionDictionary = c.session;
        auto& server = world.services.windowServer;
        EXPECT_EQ(SessionTrust::untrustworthyReason(server), c.reason);
        EXPECT_EQ(SessionTrust::isDisplayConfigTrustworthy(server), !c.reason.has_value());
    }
}

TEST(SessionTrustTest, ReasonsAreNamedForTheLog) {
    EXPECT_EQ(untrustworthyName(Untrustworthy::noSessionDict), "noSessionDict");
    EXPECT_EQ(untrustworthyName(Untrustworthy::locked), "locked");
    EXPECT_EQ(untrustworthyName(Untrustworthy::offConsole), "offConsole");
}

}  // namespace
}  // namespace vorn
