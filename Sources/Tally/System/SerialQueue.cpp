#include "System/SerialQueue.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace vorn::tally::system {

struct SerialQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !tasks.empty(); });
            if (tasks.empty()) {
                return;
            }
            auto task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
        }
    }
};

SerialQueue::SerialQueue(std::string label)
    : m_label(std::move(label))
    , m_state(std::make_shared<State>()) {
    // The worker keeps the state alive, so that a queue released by one of its own tasks does
    // not pull the state away from under the running loop.
    std::thread worker([state = m_state] { state->run(); });
    // Thread names are limited to 15 characters; the end of a label is its distinctive part.
    const std::string name = m_label.size() > 15 ? m_label.substr(m_label.size() - 15) : m_label;
    ::pthread_setname_np(worker.native_handle(), name.c_str());
    m_worker = std::move(worker);
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->wake.notify_one();
    if (std::this_thread::get_id() == m_worker.get_id()) {
        // Released by one of its own tasks: joining would wait for ourselves.
        m_worker.detach();
    } else {
        m_worker.join();
    }
}

void SerialQueue::async(std::function<void()> task) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->tasks.push_back(std::move(task));
    }
    m_state->wake.notify_one();
}

void SerialQueue::sync(const std::function<void()>& task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    async([&] {
        task();
        done.set_value();
    });
    finished.wait();
}

bool SerialQueue::isCurrent() const {
    return std::this_thread::get_id() == m_worker.get_id();
}

}  // namespace vorn::tally::system
