#include "System/Dispatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "System/OneShotTimer.h"
#include "System/SerialQueue.h"
#include "System/TimeSource.h"

namespace vorn::tally::system {
namespace {

class MainQueue final : public Queue {
public:
    void async(std::function<void()> task) override {
        std::shared_ptr<MainExecutor> executor;
        std::shared_ptr<SerialQueue> standIn;
        {
            std::lock_guard lock(m_mutex);
            executor = m_executor;
            if (!executor) {
                if (!m_standIn) {
                    m_standIn = std::make_shared<SerialQueue>("tally.main");
                }
                standIn = m_standIn;
            }
        }
        if (executor) {
            executor->post(std::move(task));
        } else {
            standIn->async(std::move(task));
        }
    }

    void setExecutor(std::shared_ptr<MainExecutor> executor) {
        std::lock_guard lock(m_mutex);
        m_executor = std::move(executor);
    }

    void stopStandIn() {
        std::shared_ptr<SerialQueue> standIn;
        {
            std::lock_guard lock(m_mutex);
            standIn = std::move(m_standIn);
        }
        // Joins here unless a concurrent post still holds it; then that poster joins it.
        standIn.reset();
    }

private:
    std::mutex m_mutex;
    std::shared_ptr<MainExecutor> m_executor;
    std::shared_ptr<SerialQueue> m_standIn;
};

class UtilityPool final : public Queue {
public:
    void async(std::function<void()> task) override {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
            if (m_workers.empty() && !m_stopping) {
                startLocked();
            }
        }
        m_wake.notify_one();
    }

    void waitUntilIdle() {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_tasks.empty() && m_running == 0; });
    }

    void shutdown() {
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                return;
            }
            m_stopping = true;
            workers = std::move(m_workers);
            m_workers.clear();
        }
        m_wake.notify_all();
        for (auto& worker : workers) {
            worker.join();
        }
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        // Tasks posted after the last worker left would otherwise wait forever.
        if (!m_tasks.empty()) {
            startLocked();
        }
    }

private:
    void startLocked() {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
        for (unsigned i = 0; i < count; ++i) {
            m_workers.emplace_back([this] { run(); });
        }
    }

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty()) {
                return;
            }
            auto task = std::move(m_tasks.front());
            m_tasks.pop_front();
            ++m_running;
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            --m_running;
            if (m_running == 0 && m_tasks.empty()) {
                m_idle.notify_all();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::thread> m_workers;
    int m_running = 0;
    bool m_stopping = false;
};

// Never destroyed: threads of the process may post to them while it exits.
const std::shared_ptr<MainQueue>& mainQueueInstance() {
    static auto* queue = new std::shared_ptr<MainQueue>(std::make_shared<MainQueue>());
    return *queue;
}

const std::shared_ptr<UtilityPool>& utilityPoolInstance() {
    static auto* pool = new std::shared_ptr<UtilityPool>(std::make_shared<UtilityPool>());
    return *pool;
}

}  // namespace

std::shared_ptr<Queue> mainQueue() {
    return mainQueueInstance();
}

void setMainExecutor(std::shared_ptr<MainExecutor> executor) {
    mainQueueInstance()->setExecutor(std::move(executor));
}

std::shared_ptr<Queue> globalUtilityQueue() {
    return utilityPoolInstance();
}

void waitForGlobalUtilityQueue() {
    utilityPoolInstance()->waitUntilIdle();
}

void asyncAfter(const std::shared_ptr<Queue>& queue,
                double delaySeconds,
                std::function<void()> task) {
    OneShotTimer::start(queue, delaySeconds, std::move(task));
}

void shutdownDispatch() {
    stopSystemTimers();
    utilityPoolInstance()->shutdown();
    mainQueueInstance()->stopStandIn();
}

}  // namespace vorn::tally::system
