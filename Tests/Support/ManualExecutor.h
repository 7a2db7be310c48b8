#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "Executor.h"

namespace vorn::test {

// A main-thread executor that runs nothing until the test drains it.
class ManualExecutor final : public MainExecutor {
public:
    void post(std::function<void()> task) override {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }

    // Runs the oldest task; false when there was none.
    bool runOne() {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            if (m_tasks.empty()) {
                return false;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
        return true;
    }

    // Runs tasks, including those posted meanwhile, until none is left; returns how many ran.
    std::size_t drain() {
        std::size_t ran = 0;
        while (runOne()) {
            ++ran;
        }
        return ran;
    }

    std::size_t pending() const {
        std::lock_guard lock(m_mutex);
        return m_tasks.size();
    }

private:
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

}  // namespace vorn::test
