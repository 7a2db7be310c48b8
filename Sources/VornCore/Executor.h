#pragma once

#include <functional>

namespace vorn {

// Runs tasks on the main thread. post() may be called from any thread; it never runs the task
// inline, and tasks run in the order they were posted.
class MainExecutor {
public:
    virtual ~MainExecutor() = default;
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace vorn
