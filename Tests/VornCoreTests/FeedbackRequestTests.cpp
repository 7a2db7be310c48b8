#include <gtest/gtest.h>

#include "FeedbackRequest.h"

namespace vorn {
namespace {

TEST(FeedbackRequestTests, BodyBytes) {
    const auto body = FeedbackRequest::makeBody("a/b \"q\" \\\n", "1.2 (3)", "14.5", "en_GB");
    EXPECT_EQ(body.bytes, R"j({"appVersion":"1.2 (3)","locale":"en_GB","macOSVersion":"14.5",)j"
                          R"j("message":"a\/b \"q\" \\\n"})j");
    EXPECT_TRUE(body.error.empty());
    EXPECT_EQ(FeedbackRequest::makeBody("", "", "", "").bytes,
              R"({"appVersion":"","locale":"","macOSVersion":"","message":""})");
}

}  // namespace
}  // namespace vorn
