#include "FeedbackRequest.h"

#include "JSON.h"

namespace vorn {

FeedbackBody FeedbackRequest::makeBody(std::string_view message,
                                       std::string_view appVersion,
                                       std::string_view osVersion,
                                       std::string_view locale) {
    // The writer sorts keys and replaces invalid UTF-8, so the receiver always gets valid JSON.
    const json::Value body{{"appVersion", appVersion},
                           {"locale", locale},
                           {"macOSVersion", osVersion},
                           {"message", message}};
    auto bytes = json::writeCompact(body);
    if (!bytes) {
        return {std::nullopt, "the feedback body could not be written as JSON"};
    }
    return {std::move(bytes), {}};
}

}  // namespace vorn
