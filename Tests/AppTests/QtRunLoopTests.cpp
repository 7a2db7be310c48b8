#include <atomic>
#include <thread>
#include <vector>

#include <QtTest>

#include "QtRunLoop.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorn::app {

using namespace std::chrono_literals;
using platform::RunResult;

class QtRunLoopTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void postedTasksRunInOrderOnTheMainThread() {
        QtRunLoop loop;
        const auto mainThread = std::this_thread::get_id();
        std::vector<int> seen;
        std::atomic<bool> offThread{false};
        std::vector<std::thread> posters;
        for (int t = 0; t < 4; ++t) {
            posters.emplace_back([&, t] {
                for (int i = 0; i < 50; ++i) {
                    loop.post([&, value = t * 1000 + i] {
                        offThread = offThread || std::this_thread::get_id() != mainThread;
                        seen.push_back(value);
                    });
                }
            });
        }
        for (auto& poster : posters) {
            poster.join();
        }
        QTRY_COMPARE(seen.size(), std::size_t(200));
        QVERIFY(!offThread);
        for (int t = 0; t < 4; ++t) {
            int last = -1;
            for (int value : seen) {
                if (value / 1000 == t) {
                    QVERIFY(value > last);
                    last = value;
                }
            }
        }
    }

    void runUntilEndsAfterATaskButNotAfterATimer() {
        QtRunLoop loop;
        bool ran = false;
        loop.post([&] { ran = true; });
        QVERIFY(!ran);
        QCOMPARE(loop.runUntil(loop.now() - 1s), RunResult::handledSource);
        QVERIFY(ran);
        QCOMPARE(loop.runUntil(loop.now() - 1s), RunResult::timedOut);

        int ticks = 0;
        loop.addTimer(1ms, false, [&] { ++ticks; });
        const auto start = loop.now();
        QCOMPARE(loop.runUntil(start + 30ms), RunResult::timedOut);
        QVERIFY(loop.now() >= start + 30ms);
        QCOMPARE(ticks, 1);

        loop.addTimer(5ms, false, [&] { loop.post([] {}); });
        QCOMPARE(loop.runUntil(loop.now() + 5s), RunResult::handledSource);
    }

    void repeatingTimerCancelledInsideItsTick() {
        QtRunLoop loop;
        int ticks = 0;
        platform::TimerID timer = 0;
        timer = loop.addTimer(1ms, true, [&] {
            if (++ticks == 3) {
                loop.cancelTimer(timer);
            }
        });
        loop.runUntil(loop.now() + 40ms);
        QCOMPARE(ticks, 3);
        loop.cancelTimer(timer);  // already gone: ignored
    }

    void descriptorWatchCallsUntilUnwatched() {
        QtRunLoop loop;
        int fds[2];
        QCOMPARE(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        std::string received;
        platform::WatchID watch = 0;
        watch = loop.watchReadable(fds[0], [&] {
            char buffer[16];
            const auto n = ::read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                received.append(buffer, static_cast<std::size_t>(n));
            }
            loop.unwatch(watch);
        });
        QCOMPARE(::write(fds[1], "ab", 2), 2);
        QCOMPARE(loop.runUntil(loop.now() + 1s), RunResult::handledSource);
        QCOMPARE(received, std::string("ab"));
        QCOMPARE(::write(fds[1], "c", 1), 1);
        QCOMPARE(loop.runUntil(loop.now() + 10ms), RunResult::timedOut);
        QCOMPARE(received, std::string("ab"));
        ::close(fds[0]);
        ::close(fds[1]);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::QtRunLoopTests)
#include "QtRunLoopTests.moc"
