#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "RunLoop.h"

class QEventLoop;
class QObject;
class QSocketNotifier;
class QTimer;

namespace vorn::app {

// The main thread's run loop over Qt's event loop: posted tasks are queued invocations, timers
// are QTimers and descriptor watches are socket notifiers. Made and used on the thread that runs
// the QCoreApplication, after it exists; post() may be called from any thread. Tasks still
// queued when the loop is destroyed are dropped.
class QtRunLoop final : public platform::RunLoop {
public:
    QtRunLoop();
    ~QtRunLoop() override;
    QtRunLoop(const QtRunLoop&) = delete;
    QtRunLoop& operator=(const QtRunLoop&) = delete;

    platform::MonotonicTime now() const override;
    // User input stays queued meanwhile, so a click cannot re-enter the caller.
    platform::RunResult runUntil(platform::MonotonicTime deadline) override;
    void sleepFor(platform::Duration duration) override;
    void post(std::function<void()> task) override;
    platform::TimerID addTimer(platform::Duration interval,
                               bool repeats,
                               std::function<void()> tick) override;
    void cancelTimer(platform::TimerID timer) override;
    platform::WatchID watchReadable(int fd, std::function<void()> onReadable) override;
    void unwatch(platform::WatchID watch) override;
    bool inCallback() const override { return m_callbackDepth > 0; }

private:
    struct NestedRun {
        QEventLoop* loop = nullptr;  // null while only ready events are processed
        bool handled = false;
        bool timedOut = false;
    };
    struct Timer {
        QTimer* timer = nullptr;
        std::shared_ptr<std::function<void()>> tick;
        bool repeats = false;
    };
    struct Watch {
        QSocketNotifier* notifier = nullptr;
        std::shared_ptr<std::function<void()>> onReadable;
    };

    // Runs one of the loop's callbacks, counted while it runs.
    void call(const std::function<void()>& callback);
    void fire(platform::TimerID id);
    void readable(platform::WatchID id);
    // A posted task or a descriptor callback ran: the innermost runUntil() may return.
    void markHandled();

    std::unique_ptr<QObject> m_context;  // parent of the timers and notifiers, receiver of tasks
    std::map<platform::TimerID, Timer> m_timers;
    std::map<platform::WatchID, Watch> m_watches;
    std::vector<NestedRun*> m_nested;
    std::uint64_t m_nextID = 1;
    int m_callbackDepth = 0;
};

}  // namespace vorn::app
