#pragma once

#include <functional>

namespace vorn::tally::system {

// Somewhere to run work later. async() never runs the task inline and may be called from any
// thread.
class Queue {
public:
    virtual ~Queue() = default;
    virtual void async(std::function<void()> task) = 0;
};

}  // namespace vorn::tally::system
