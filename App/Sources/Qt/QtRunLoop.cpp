#include "QtRunLoop.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

namespace vorn::app {
namespace {

using platform::Duration;

// Whole milliseconds for a Qt timer: rounded up so that no wait ends early, at least one, and
// saturated at what an int holds.
int timerMilliseconds(Duration duration) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<long long>(ms, 1, INT_MAX));
}

}  // namespace

QtRunLoop::QtRunLoop()
    : m_context(std::make_unique<QObject>()) {}

QtRunLoop::~QtRunLoop() = default;

platform::MonotonicTime QtRunLoop::now() const {
    return platform::MonotonicClock::now();
}

platform::RunResult QtRunLoop::runUntil(platform::MonotonicTime deadline) {
    NestedRun run;
    m_nested.push_back(&run);
    const auto remaining = deadline - now();
    if (remaining <= Duration::zero()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        QEventLoop loop;
        run.loop = &loop;
        QTimer deadlineTimer;
        deadlineTimer.setSingleShot(true);
        deadlineTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadlineTimer, &QTimer::timeout, &loop, [&run, &loop] {
            run.timedOut = true;
            loop.quit();
        });
        deadlineTimer.start(timerMilliseconds(remaining));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_nested.pop_back();
    if (run.handled) {
        return platform::RunResult::handledSource;
    }
    // The loop also ends when the application quits.
    if (run.loop != nullptr && !run.timedOut) {
        return platform::RunResult::stopped;
    }
    return platform::RunResult::timedOut;
}

void QtRunLoop::sleepFor(Duration duration) {
    std::this_thread::sleep_for(duration);
}

void QtRunLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, task = std::move(task)] {
            call(task);
            markHandled();
        },
        Qt::QueuedConnection);
}

platform::TimerID QtRunLoop::addTimer(Duration interval, bool repeats, std::function<void()> tick) {
    const platform::TimerID id = m_nextID++;
    auto* timer = new QTimer(m_context.get());
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeats);
    timer->setInterval(timerMilliseconds(interval));
    QObject::connect(timer, &QTimer::timeout, m_context.get(), [this, id] { fire(id); });
    m_timers.emplace(
        id, Timer{timer, std::make_shared<std::function<void()>>(std::move(tick)), repeats});
    timer->start();
    return id;
}

void QtRunLoop::cancelTimer(platform::TimerID id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;
    }
    it->second.timer->stop();
    // The timer may be the one whose signal is being delivered.
    it->second.timer->deleteLater();
    m_timers.erase(it);
}

void QtRunLoop::fire(platform::TimerID id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;
    }
    // Held by value: the tick may cancel its own timer.
    const auto tick = it->second.tick;
    if (!it->second.repeats) {
        it->second.timer->deleteLater();
        m_timers.erase(it);
    }
    call(*tick);
}

void QtRunLoop::call(const std::function<void()>& callback) {
    ++m_callbackDepth;
    callback();
    --m_callbackDepth;
}

platform::WatchID QtRunLoop::watchReadable(int fd, std::function<void()> onReadable) {
    const platform::WatchID id = m_nextID++;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, m_context.get());
    QObject::connect(notifier, &QSocketNotifier::activated, m_context.get(),
                     [this, id] { readable(id); });
    m_watches.emplace(
        id, Watch{notifier, std::make_shared<std::function<void()>>(std::move(onReadable))});
    return id;
}

void QtRunLoop::unwatch(platform::WatchID id) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    m_watches.erase(it);
}

void QtRunLoop::readable(platform::WatchID id) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    const auto onReadable = it->second.onReadable;
    call(*onReadable);
    markHandled();
}

void QtRunLoop::markHandled() {
    if (m_nested.empty()) {
        return;
    }
    NestedRun& run = *m_nested.back();
    run.handled = true;
    if (run.loop != nullptr) {
        run.loop->quit();
    }
}

}  // namespace vorn::app
