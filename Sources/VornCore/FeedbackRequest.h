#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// The body of one feedback submission, or why it could not be formed.
struct FeedbackBody {
    std::optional<std::string> bytes;
    std::string error;  // empty when bytes hold the body
};

class FeedbackRequest {
public:
    FeedbackRequest() = delete;

    // One compact JSON object with the keys "appVersion", "locale", "macOSVersion" (the
    // operating system's version) and "message" in that order, every value written unchanged
    // as a string ("/" escaped as "\/"), no white space and no trailing newline.
    static FeedbackBody makeBody(std::string_view message,
                                 std::string_view appVersion,
                                 std::string_view osVersion,
                                 std::string_view locale);
};

}  // namespace vorn
