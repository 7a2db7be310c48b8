#pragma once

namespace vorn::app {

// Lets the user write and send feedback; the status-bar menu's "Send Feedback…".
class FeedbackService {
public:
    virtual ~FeedbackService() = default;
    virtual void show() = 0;
};

}  // namespace vorn::app
