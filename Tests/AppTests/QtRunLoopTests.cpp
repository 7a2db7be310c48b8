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
    void tasksPostedFromOtherThreadsRunInOrder() {
        QtRunLoop loop;
        std::vector<int> seen;
        std::vector<std::thread> posters;
        for (int t = 0; t < 4; ++t) {
            posters.emplace_back([&, t] {
                for (int i = 0; i < 50; ++i) {
                    loop.post([&, value = t * 1000 + i] { seen.push_back(value); });
                }
            });
        }
        for (auto& poster : posters) {
            poster.join();
        }
        QTRY_COMPARE(seen.size(), std::size_t(200));
        for (int t = 0; t < 4; ++t) {
            std::vector<int> own;
            std::copy_if(seen.begin(), seen.end(), std::back_inserter(own),
                         [t](int v) { return v / 1000 == t; });
            QVERIFY(std::is_sorted(own.begin(), own.end()));
        }
    }

    // A task or a descriptor ends the run; a timer does not.
    void runUntilReturnsAfterHandlingASource() {
        QtRunLoop loop;
        bool ran = false;
        loop.post([&] { ran = true; });
        QCOMPARE(loop.runUntil(loop.now() - 1s), RunResult::handledSource);
        QVERIFY(ran);

        int ticks = 0;
        loop.addTimer(1ms, false, [&] { ++ticks; });
        const auto start = loop.now();
        QCOMPARE(loop.runUntil(start + 30ms), RunResult::timedOut);
        QVERIFY(loop.now() >= start + 30ms);
        QCOMPARE(ticks, 1);

        int fds[2];
        QCOMPARE(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        int reads = 0;
        platform::WatchID watch = 0;
        watch = loop.watchReadable(fds[0], [&] {
            char buffer[8];
            reads += ::read(fds[0], buffer, sizeof buffer) > 0;
            loop.unwatch(watch);  // inside its own callback
        });
        QCOMPARE(::write(fds[1], "a", 1), 1);
        QCOMPARE(loop.runUntil(loop.now() + 1s), RunResult::handledSource);
        QCOMPARE(::write(fds[1], "b", 1), 1);
        QCOMPARE(loop.runUntil(loop.now() + 10ms), RunResult::timedOut);
        QCOMPARE(reads, 1);
        ::close(fds[0]);
        ::close(fds[1]);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::QtRunLoopTests)
#include "QtRunLoopTests.moc"
