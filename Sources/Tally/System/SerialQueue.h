#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "System/Queue.h"

namespace vorn::tally::system {

// One worker thread that runs tasks one at a time in submission order.
class SerialQueue final : public Queue {
public:
    explicit SerialQueue(std::string label);
    // Runs the tasks still queued, then joins the worker.
    ~SerialQueue() override;

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> task) override;
    // Runs the task on the worker and waits for it; runs it at once when called on the worker.
    void sync(const std::function<void()>& task);
    bool isCurrent() const;
    const std::string& label() const { return m_label; }

private:
    struct State;

    std::string m_label;
    std::shared_ptr<State> m_state;
    std::thread m_worker;
};

}  // namespace vorn::tally::system
